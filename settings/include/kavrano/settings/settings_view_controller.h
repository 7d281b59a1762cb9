#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>

#include "kavrano/ui/url_opener.h"
#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// The settings: the usage-data switch, the two unit rows (each opens the unit
/// selection screen), the privacy-policy link and the maker's other applications.
/// Its view is SettingsViewController.qml.
class SettingsViewController final : public kavrano::ViewController {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the app with its services")
  Q_PROPERTY(QString title READ title CONSTANT)
  Q_PROPERTY(bool sendUsageData READ sendUsageData NOTIFY refreshed)
  Q_PROPERTY(QString lengthUnitText READ lengthUnitText NOTIFY refreshed)
  Q_PROPERTY(QString areaUnitText READ areaUnitText NOTIFY refreshed)

 public:
  // The outside addresses, kept here alone.
  static constexpr const char* kPrivacyPolicyAddress = "https://kavrano.app/privacy";
  static constexpr const char* kOtherApplicationsAddress = "https://kavrano.app/apps";

  /// Table sections; only these act when a row is selected.
  enum Section { usageSection = 0, unitSection = 1, otherApplicationsSection = 2 };
  Q_ENUM(Section)

  /// `urlOpener` must outlive the screen.
  explicit SettingsViewController(UrlOpener& urlOpener, QObject* parent = nullptr);

  [[nodiscard]] QUrl viewUrl() const override;
  void viewWillAppear(bool animated) override;

  Q_INVOKABLE void appUsageSwitchChanged(bool on);
  Q_INVOKABLE void seeMoreTapped();
  Q_INVOKABLE void selectRow(int section, int row);

  [[nodiscard]] static QString title() { return QStringLiteral("Settings"); }
  [[nodiscard]] bool sendUsageData() const { return sendUsageData_; }
  [[nodiscard]] QString lengthUnitText() const { return lengthUnitText_; }
  [[nodiscard]] QString areaUnitText() const { return areaUnitText_; }

 signals:
  void refreshed();

 private:
  void updateUnitLabels();

  UrlOpener& urlOpener_;
  bool sendUsageData_ = true;
  QString lengthUnitText_;
  QString areaUnitText_;
};

}  // namespace kavrano
