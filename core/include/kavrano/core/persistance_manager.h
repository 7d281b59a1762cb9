#pragma once

#include <string>
#include <vector>

#include "kavrano/core/persisted_measurement.h"
#include "kavrano/core/preference_store.h"

namespace kavrano {

/// The saved measurements: one JSON list under one preference key. No cache; every
/// call reads the store, so any number of managers see the same list.
///
/// A stored value that cannot be read loads as the empty list; before an append or
/// delete replaces it, its bytes are copied under "PERSISTED_MEASUREMENTS.unreadable.<UTC time>"
/// so nothing is silently destroyed.
class PersistanceManager {
 public:
  /// Uses the standard store.
  PersistanceManager();
  explicit PersistanceManager(PreferenceStore& store);

  PreferenceStore& userDefaults;
  const std::string storageKey = "PERSISTED_MEASUREMENTS";

  /// Prefix of the keys that hold set-aside unreadable lists.
  static constexpr const char* kSetAsidePrefix = "PERSISTED_MEASUREMENTS.unreadable.";

  /// The stored list in stored order (oldest first); empty when none or unreadable.
  [[nodiscard]] std::vector<PersistedMeasurement> loadMeasurements() const;
  /// Adds `record` at the end. If the list cannot be encoded, nothing changes.
  void appendMeasurement(const PersistedMeasurement& record);
  /// Removes every record with `record.id`; the rest keep their order. The list is
  /// written back even when nothing matched.
  void deleteMeasurement(const PersistedMeasurement& record);

 private:
  /// The stored list, setting aside a value that does not decode.
  [[nodiscard]] std::vector<PersistedMeasurement> loadForRewrite();
  void store(const std::vector<PersistedMeasurement>& list);
};

}  // namespace kavrano
