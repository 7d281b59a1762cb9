#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavrano/core/preference_store.h"

namespace kavrano {

/// One saved vertex (degrees).
struct PersistedAnnotation {
  double latitude = 0.0;
  double longitude = 0.0;
};

/// The map centre at the moment of saving (degrees). Its own type, same JSON form.
struct PersistedAnnotationCenter {
  double latitude = 0.0;
  double longitude = 0.0;
};

/// A saved measurement. Made once, never edited; its identity is `id`.
struct PersistedMeasurement {
  std::string id;     ///< canonical upper-case v4 UUID text
  double date = 0.0;  ///< seconds since 2001-01-01 00:00:00 UTC
  std::vector<PersistedAnnotation> annotations;
  std::string title;
  PersistedAnnotationCenter center;
};

/// The JSON array of records, UTF-8. None when a number is not finite or a text is
/// not valid UTF-8: JSON has no form for either, and the whole list fails.
[[nodiscard]] std::optional<std::string> encodeMeasurements(const std::vector<PersistedMeasurement>& list);

/// All or nothing: any malformed text, wrong type or missing member fails the whole
/// list. Members of other names are ignored; any JSON number form is read.
[[nodiscard]] std::optional<std::vector<PersistedMeasurement>> decodeMeasurements(std::string_view json);

}  // namespace kavrano
