#pragma once

#include "kavrano/measure/measure_screen_factory.h"
#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// A screen that is not built yet: the bar with its title and a short note.
class PlaceholderViewController final : public ViewController {
  Q_OBJECT
  Q_PROPERTY(QString title READ title CONSTANT)
 public:
  explicit PlaceholderViewController(QString title) : title_(std::move(title)) {}
  [[nodiscard]] QUrl viewUrl() const override {
    return QUrl(QStringLiteral("qrc:/kavrano/app/PlaceholderViewController.qml"));
  }
  [[nodiscard]] QString title() const { return title_; }
  void viewWillAppear(bool animated) override;

 private:
  QString title_;
};

/// The screens the measuring screen opens. The saved list and the settings are
/// still placeholders.
class AppScreenFactory final : public MeasureScreenFactory {
 public:
  [[nodiscard]] Screen makeMeasurementSelectionScreen(QObject* delegate) override;
  [[nodiscard]] Screen makeSettingsScreen() override;
};

}  // namespace kavrano
