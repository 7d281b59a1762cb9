#pragma once

#include <span>
#include <string>
#include <vector>

#include "kavrano/core/persisted_measurement.h"
#include "kavrano/core/preference_store.h"
#include "kavrano/core/result.h"

namespace kavrano {

/// The saved measurements: one JSON list under one preference key. No cache; every
/// call reads the store, so any number of managers, in any number of processes, see
/// the same list. A change reads and rewrites the list as one transaction of the
/// store, so two changing it at once both land. The records a change keeps stay as
/// their stored text: the list is checked whole, but only new records are encoded.
///
/// A stored value that cannot be read (whatever its kind) loads as the empty list;
/// before a change replaces it, it is copied under
/// "PERSISTED_MEASUREMENTS.unreadable.<UTC time>" in the same transaction, and when
/// that copy fails the change fails and the old value stays.
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
  /// Adds `record` at the end; on failure the stored list is as it was.
  Result<void> appendMeasurement(const PersistedMeasurement& record);
  /// Adds `records` at the end, in their order, as one change: all of them or, on
  /// failure, none, with no other change in between from any process.
  Result<void> appendMeasurements(std::span<const PersistedMeasurement> records);
  /// Removes every record with `record.id`; the rest keep their order. On failure the
  /// stored list is as it was.
  Result<void> deleteMeasurement(const PersistedMeasurement& record);

 private:
  Result<void> store(PreferenceTransaction& transaction);

  // The text of the last change, kept so the next one reuses its memory: the list
  // runs to tens of megabytes, where each fresh buffer costs page faults.
  std::string encoded_;
};

}  // namespace kavrano
