#include "kavrano/app/app_screen_factory.h"

#include "kavrano/saved/measurement_selection_view_controller.h"
#include "kavrano/settings/settings_view_controller.h"

namespace kavrano {

Screen AppScreenFactory::makeMeasurementSelectionScreen(QObject* delegate) {
  auto list = std::make_unique<MeasurementSelectionViewController>(exporter_, presenter_);
  list->setDelegate(delegate);
  MeasurementSelectionViewController* shown = list.get();
  return {std::move(list), {}, [shown](QObject*) { shown->viewDidLoad(); }};
}

Screen AppScreenFactory::instantiateViewController(const QString& storyboard, const QString& identifier) {
  if (storyboard == QLatin1String("Main") && identifier == QLatin1String("SettingsViewController")) {
    return {std::make_unique<SettingsViewController>(urlOpener_), {}, {}};
  }
  return {};
}

}  // namespace kavrano
