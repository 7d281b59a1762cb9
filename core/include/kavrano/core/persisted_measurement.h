#pragma once

#include <functional>
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

/// The most a stored list may hold. A list of 50,000 measurements of ten points is
/// about 40 MB of text and 500,000 vertices; anything larger is refused by the reader
/// before it allocates for it, and by the store before it writes it.
inline constexpr std::size_t kMaxMeasurementListBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxMeasurementListVertices = std::size_t{2} << 20;

/// The JSON array of records, UTF-8. None when a number is not finite or a text is
/// not valid UTF-8: JSON has no form for either, and the whole list fails.
[[nodiscard]] std::optional<std::string> encodeMeasurements(const std::vector<PersistedMeasurement>& list);
/// The same into `out`, whose allocation is reused; false where the above gives none.
[[nodiscard]] bool encodeMeasurements(const std::vector<PersistedMeasurement>& list, std::string& out);

/// All or nothing: any malformed text, wrong type or missing member fails the whole
/// list, and so does a list beyond kMaxMeasurementListBytes or
/// kMaxMeasurementListVertices. Members of other names are ignored; any JSON number
/// form is read, whatever the C locale.
[[nodiscard]] std::optional<std::vector<PersistedMeasurement>> decodeMeasurements(std::string_view json);

/// Where one record stands in a list's text: [begin, end).
struct RecordText {
  std::size_t begin = 0;
  std::size_t end = 0;
};
using RecordVisitor = std::function<void(RecordText, const PersistedMeasurement&)>;
/// Reads `json` exactly as decodeMeasurements does, without keeping the records:
/// `visit` sees each, valid during the call only. False where decoding fails (the
/// records visited until then say nothing).
[[nodiscard]] bool scanMeasurements(std::string_view json, const RecordVisitor& visit);
/// Appends one record's text, as it stands in a list, to `out`; false (with `out`
/// partly written) where encodeMeasurements fails.
[[nodiscard]] bool encodeMeasurement(const PersistedMeasurement& record, std::string& out);

}  // namespace kavrano
