#pragma once

#include "kavrano/measure/measure_screen_factory.h"
#include "kavrano/ui/url_opener.h"
#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// The screens the measuring screen opens: the saved list and the settings.
class AppScreenFactory final : public MeasureScreenFactory {
 public:
  /// `urlOpener` must outlive every screen made here.
  explicit AppScreenFactory(UrlOpener& urlOpener) : urlOpener_(urlOpener) {}

  [[nodiscard]] Screen makeMeasurementSelectionScreen(QObject* delegate) override;
  /// "Main" holds the settings screen; its views live at qrc:/kavrano/Main/.
  [[nodiscard]] Screen instantiateViewController(const QString& storyboard, const QString& identifier) override;

 private:
  UrlOpener& urlOpener_;
};

}  // namespace kavrano
