#include "kavrano/app/app_screen_factory.h"

#include "kavrano/saved/measurement_selection_view_controller.h"
#include "kavrano/settings/settings_view_controller.h"

namespace kavrano {

Screen AppScreenFactory::makeMeasurementSelectionScreen(QObject* delegate) {
  auto* list = new MeasurementSelectionViewController();
  list->setDelegate(delegate);
  return {list, {}, [list](QObject*) { list->viewDidLoad(); }};
}

Screen AppScreenFactory::makeSettingsScreen() { return {new SettingsViewController(urlOpener_), {}, {}}; }

}  // namespace kavrano
