#include "kavrano/app/app_screen_factory.h"

#include <QFile>

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
  // A screen of a collection is one whose view the collection holds.
  if (!QFile::exists(QStringLiteral(":/kavrano/%1/%2.qml").arg(storyboard, identifier))) return {};
  if (storyboard == QLatin1String("Main") && identifier == QLatin1String("SettingsViewController")) {
    return {std::make_unique<SettingsViewController>(urlOpener_), {}, {}};
  }
  return {};
}

}  // namespace kavrano
