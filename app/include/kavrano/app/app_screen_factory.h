#pragma once

#include "kavrano/files/measurement_file_exporter.h"
#include "kavrano/measure/measure_screen_factory.h"
#include "kavrano/ui/screen_presenter.h"
#include "kavrano/ui/url_opener.h"
#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// The screens the measuring screen opens: the saved list and the settings.
class AppScreenFactory final : public MeasureScreenFactory {
 public:
  /// The services must outlive every screen made here. `presenter` shows the saved
  /// list's alerts.
  AppScreenFactory(UrlOpener& urlOpener, MeasurementFileExporter& exporter, ScreenPresenter& presenter)
      : urlOpener_(urlOpener), exporter_(exporter), presenter_(presenter) {}

  [[nodiscard]] Screen makeMeasurementSelectionScreen(QObject* delegate) override;
  /// "Main" holds the settings screen; any other name makes no screen.
  [[nodiscard]] Screen instantiateViewController(const QString& storyboard, const QString& identifier) override;

 private:
  UrlOpener& urlOpener_;
  MeasurementFileExporter& exporter_;
  ScreenPresenter& presenter_;
};

}  // namespace kavrano
