#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <vector>

#include "kavrano/core/persisted_measurement.h"
#include "kavrano/files/measurement_file_exporter.h"
#include "kavrano/saved/title_list_model.h"
#include "kavrano/ui/screen_presenter.h"
#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// The saved measurements by title, oldest first. A row hands its record to the
/// delegate; a deleted row is removed from the store; an exported row is written
/// to a file the user chose. Its view is MeasurementSelectionViewController.qml.
class MeasurementSelectionViewController final : public kavrano::ViewController {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the app with its services")
  Q_PROPERTY(QString title READ title CONSTANT)
  Q_PROPERTY(QAbstractItemModel* rows READ rows CONSTANT)
  Q_PROPERTY(bool emptyStateVisible READ emptyStateVisible NOTIFY measurementsChanged)
  Q_PROPERTY(QString emptyStateTitle READ emptyStateTitle CONSTANT)
  Q_PROPERTY(QString emptyStateText READ emptyStateText CONSTANT)

 public:
  /// `exporter` writes the files and `presenter` shows why one was not written;
  /// both must outlive the screen.
  MeasurementSelectionViewController(MeasurementFileExporter& exporter, ScreenPresenter& presenter,
                                     QObject* parent = nullptr)
      : ViewController(parent), exporter_(exporter), presenter_(presenter) {}

  [[nodiscard]] QUrl viewUrl() const override;

  /// A QObject that implements MeasurementSelectionDelegate; held weakly.
  void setDelegate(QObject* delegate) { delegate_ = delegate; }

  /// The view exists: reads the store.
  void viewDidLoad();
  void viewWillAppear(bool animated) override;

  Q_INVOKABLE void selectRow(int row);
  Q_INVOKABLE void deleteRow(int row);
  /// Where the save dialog starts for row `row`: the row's title in the user's
  /// documents, as GeoJSON.
  Q_INVOKABLE QUrl suggestedExportFile(int row) const;
  /// Writes row `row` into the local file `file`, in the format of its extension;
  /// a failure is told in an alert.
  Q_INVOKABLE void exportRow(int row, const QUrl& file);

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

  MeasurementFileExporter& exporter_;
  ScreenPresenter& presenter_;
  std::vector<PersistedMeasurement> measurements_;
  TitleListModel rows_;
  QPointer<QObject> delegate_;
};

}  // namespace kavrano
