#include "kavrano/saved/measurement_selection_view_controller.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include "kavrano/core/persistance_manager.h"
#include "kavrano/measure/measurement_selection_delegate.h"
#include "kavrano/ui/navigation_controller.h"

namespace kavrano {

QUrl MeasurementSelectionViewController::viewUrl() const {
  return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Saved/MeasurementSelectionViewController.qml"));
}

void MeasurementSelectionViewController::viewDidLoad() { reloadMeasurements(); }

void MeasurementSelectionViewController::viewWillAppear(bool animated) {
  // The measuring screen hides the bar while it is on top.
  if (NavigationController* stack = navigationController()) stack->setNavigationBarHidden(false, animated);
}

void MeasurementSelectionViewController::selectRow(int row) {
  if (row < 0 || static_cast<size_t>(row) >= measurements_.size()) return;
  auto* delegate = qobject_cast<MeasurementSelectionDelegate*>(delegate_.data());
  if (!delegate) return;
  // The delegate pops this screen; keep the record alive past that.
  const PersistedMeasurement record = measurements_[static_cast<size_t>(row)];
  delegate->didSelectMeasurement(record);
}

void MeasurementSelectionViewController::deleteRow(int row) {
  if (row < 0 || static_cast<size_t>(row) >= measurements_.size()) return;
  PersistanceManager().deleteMeasurement(measurements_[static_cast<size_t>(row)]);
  // Follow the store, so a delete that could not be written shows the row again.
  reloadMeasurements();
}

QUrl MeasurementSelectionViewController::suggestedExportFile(int row) const {
  QString name;
  if (row >= 0 && static_cast<size_t>(row) < measurements_.size()) {
    name = QString::fromStdString(measurements_[static_cast<size_t>(row)].title).simplified();
  }
  // A title may hold what no file name can (a folder separator, a leading dot
  // that would hide the file).
  name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]")), QStringLiteral("-"));
  while (name.startsWith('.')) name.remove(0, 1);
  if (name.isEmpty()) name = QStringLiteral("Measurement");
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  return QUrl::fromLocalFile(QDir(folder).filePath(name + QStringLiteral(".geojson")));
}

void MeasurementSelectionViewController::exportRow(int row, const QUrl& file) {
  if (row < 0 || static_cast<size_t>(row) >= measurements_.size()) return;
  // Qt's own dialog hands back a bare path where the desktop's hands back a file URL.
  const QString path = file.isLocalFile()                                             ? file.toLocalFile()
                       : file.scheme().isEmpty() && QDir::isAbsolutePath(file.path()) ? file.path()
                                                                                      : QString();
  std::optional<std::string> failure;
  if (path.isEmpty()) {
    failure = file.fileName().toStdString() + " is not a file on this device";
  } else {
    failure = exporter_.exportFile(measurements_[static_cast<size_t>(row)], QFile::encodeName(path).toStdString());
  }
  if (!failure) return;
  auto alert = std::make_shared<AlertController>(QStringLiteral("Not exported"), QString::fromStdString(*failure));
  alert->addAction({QStringLiteral("OK"), AlertActionStyle::Default, {}});
  presenter_.presentAlert(alert, true);
}

void MeasurementSelectionViewController::reloadMeasurements() {
  measurements_ = PersistanceManager().loadMeasurements();
  QStringList titles;
  titles.reserve(static_cast<qsizetype>(measurements_.size()));
  for (const PersistedMeasurement& record : measurements_) titles << QString::fromStdString(record.title);
  rows_.setTitles(titles);
  emit measurementsChanged();
}

}  // namespace kavrano
