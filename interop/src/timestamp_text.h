#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavrano::interop {

/// "2024-03-01T12:00:00Z", with the fewest fraction digits that read back to the
/// same double ("…:00.25Z"). None outside the years 0000–9999 or when not finite.
[[nodiscard]] std::optional<std::string> isoTimestamp(double secondsSinceReferenceDate);

/// The XML Schema forms KML and GPX use: "YYYY", "YYYY-MM", "YYYY-MM-DD" or
/// "YYYY-MM-DDThh:mm:ss[.f…]" with "Z", "±hh:mm" or no zone (taken as UTC).
/// Seconds since 2001-01-01 00:00:00 UTC.
[[nodiscard]] std::optional<double> parseIsoTimestamp(std::string_view text);

}  // namespace kavrano::interop
