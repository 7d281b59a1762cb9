#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <vector>

#include "kavrano/core/persisted_measurement.h"
#include "kavrano/saved/title_list_model.h"
#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// The saved measurements by title, oldest first. A row hands its record to the
/// delegate; a deleted row is removed from the store. Its view is
/// MeasurementSelectionViewController.qml.
class MeasurementSelectionViewController final : public ViewController {
  Q_OBJECT
  Q_PROPERTY(QString title READ title CONSTANT)
  Q_PROPERTY(QAbstractItemModel* rows READ rows CONSTANT)
  Q_PROPERTY(bool emptyStateVisible READ emptyStateVisible NOTIFY measurementsChanged)
  Q_PROPERTY(QString emptyStateTitle READ emptyStateTitle CONSTANT)
  Q_PROPERTY(QString emptyStateText READ emptyStateText CONSTANT)

 public:
  explicit MeasurementSelectionViewController(QObject* parent = nullptr) : ViewController(parent) {}

  [[nodiscard]] QUrl viewUrl() const override;

  /// A QObject that implements MeasurementSelectionDelegate; held weakly.
  void setDelegate(QObject* delegate) { delegate_ = delegate; }

  /// The view exists: reads the store.
  void viewDidLoad();
  void viewWillAppear(bool animated) override;

  Q_INVOKABLE void selectRow(int row);
  Q_INVOKABLE void deleteRow(int row);

  [[nodiscard]] static QString title() { return QStringLiteral("My Measurements"); }
  [[nodiscard]] static QString emptyStateTitle() { return QStringLiteral("No saved measurements"); }
  [[nodiscard]] static QString emptyStateText() {
    return QStringLiteral("Place points on the map, then tap the save button to keep a measurement here.");
  }
  [[nodiscard]] const QStringList& titles() const { return rows_.titles(); }
  /// The titles as list rows, following every reload.
  [[nodiscard]] QAbstractItemModel* rows() { return &rows_; }
  [[nodiscard]] bool emptyStateVisible() const { return measurements_.empty(); }
  [[nodiscard]] const std::vector<PersistedMeasurement>& measurements() const { return measurements_; }

 signals:
  void measurementsChanged();

 private:
  void reloadMeasurements();

  std::vector<PersistedMeasurement> measurements_;
  TitleListModel rows_;
  QPointer<QObject> delegate_;
};

}  // namespace kavrano
