#include "kavrano/app/app_screen_factory.h"

#include "kavrano/ui/navigation_controller.h"

namespace kavrano {

void PlaceholderViewController::viewWillAppear(bool animated) {
  if (NavigationController* stack = navigationController()) stack->setNavigationBarHidden(false, animated);
}

Screen AppScreenFactory::makeMeasurementSelectionScreen(QObject* delegate) {
  (void)delegate;  // the placeholder chooses nothing
  return {new PlaceholderViewController(QStringLiteral("My Measurements")), {}, {}};
}

Screen AppScreenFactory::makeSettingsScreen() {
  return {new PlaceholderViewController(QStringLiteral("Settings")), {}, {}};
}

}  // namespace kavrano
