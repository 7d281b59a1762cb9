#include "kavrano/settings/settings_view_controller.h"

#include "kavrano/core/analytics.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/units.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/settings/unit_change_view_controller.h"
#include "kavrano/ui/navigation_controller.h"

namespace kavrano {
namespace {

QString qSymbol(std::string_view symbol) {
  return QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size()));
}

}  // namespace

SettingsViewController::SettingsViewController(UrlOpener& urlOpener, QObject* parent)
    : ViewController(parent), urlOpener_(urlOpener) {}

QUrl SettingsViewController::viewUrl() const {
  return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Settings/SettingsViewController.qml"));
}

void SettingsViewController::viewWillAppear(bool animated) {
  if (NavigationController* stack = navigationController()) stack->setNavigationBarHidden(false, animated);
  // Read afresh each time, so coming back from the unit screen shows the new unit.
  sendUsageData_ = UserSettings::shared().sendUsageData();
  updateUnitLabels();
  emit refreshed();
}

void SettingsViewController::updateUnitLabels() {
  lengthUnitText_ = QStringLiteral("Length unit: ") + qSymbol(symbol(UnitConverter::shared().selectedLengthUnit()));
  areaUnitText_ = QStringLiteral("Area unit: ") + qSymbol(symbol(UnitConverter::shared().selectedAreaUnit()));
}

void SettingsViewController::appUsageSwitchChanged(bool on) {
  UserSettings::shared().setSendUsageData(on);
  if (sendUsageData_ == on) return;
  sendUsageData_ = on;
  emit refreshed();
}

void SettingsViewController::seeMoreTapped() {
  const QUrl url(QString::fromLatin1(kPrivacyPolicyAddress), QUrl::StrictMode);
  if (url.isValid()) urlOpener_.openUrl(url);
}

void SettingsViewController::selectRow(int section, int row) {
  switch (section) {
    case unitSection: {
      if (row != 0 && row != 1) return;
      NavigationController* stack = navigationController();
      if (!stack) return;
      auto unitScreen = std::make_unique<UnitChangeViewController>(
          row == 0 ? UnitChangeViewController::DisplayMode::length : UnitChangeViewController::DisplayMode::area);
      UnitChangeViewController* shown = unitScreen.get();
      stack->pushViewController({std::move(unitScreen), {}, [shown](QObject*) { shown->viewDidLoad(); }}, true);
      return;
    }
    case otherApplicationsSection:
      MeasureAnalytics::logEvent("developer_tapped");
      urlOpener_.openUrl(QUrl(QString::fromLatin1(kOtherApplicationsAddress)));
      return;
    default:
      return;
  }
}

}  // namespace kavrano
