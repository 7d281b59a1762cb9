#pragma once

#include <QObject>

#include "kavrano/core/persisted_measurement.h"

namespace kavrano {

/// Receives the saved measurement chosen in the saved-measurements list.
/// Implemented by a QObject that declares Q_INTERFACES(kavrano::MeasurementSelectionDelegate),
/// so the list can hold it weakly.
class MeasurementSelectionDelegate {
 public:
  virtual ~MeasurementSelectionDelegate() = default;
  virtual void didSelectMeasurement(const PersistedMeasurement& measurement) = 0;
};

}  // namespace kavrano

Q_DECLARE_INTERFACE(kavrano::MeasurementSelectionDelegate, "app.kavrano.MeasurementSelectionDelegate")
