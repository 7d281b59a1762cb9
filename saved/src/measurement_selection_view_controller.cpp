#include "kavrano/saved/measurement_selection_view_controller.h"

#include "kavrano/core/persistance_manager.h"
#include "kavrano/measure/measurement_selection_delegate.h"
#include "kavrano/ui/navigation_controller.h"

namespace kavrano {

QUrl MeasurementSelectionViewController::viewUrl() const {
  return QUrl(QStringLiteral("qrc:/kavrano/saved/MeasurementSelectionViewController.qml"));
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

void MeasurementSelectionViewController::reloadMeasurements() {
  measurements_ = PersistanceManager().loadMeasurements();
  QStringList titles;
  titles.reserve(static_cast<qsizetype>(measurements_.size()));
  for (const PersistedMeasurement& record : measurements_) titles << QString::fromStdString(record.title);
  rows_.setTitles(titles);
  emit measurementsChanged();
}

}  // namespace kavrano
