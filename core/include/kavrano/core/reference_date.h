#pragma once

#include <string>

namespace kavrano {

/// Seconds between the Unix epoch and 2001-01-01 00:00:00 UTC, the reference
/// date of stored timestamps.
inline constexpr double kReferenceDateUnixSeconds = 978307200.0;

/// Now, as seconds since the reference date, with sub-second fraction.
[[nodiscard]] double secondsSinceReferenceDateNow();

/// "2024-03-01T12:00:00Z" for a timestamp in seconds since the reference date
/// (fraction dropped). Non-finite input gives "invalid-date".
[[nodiscard]] std::string iso8601Utc(double secondsSinceReferenceDate);

/// The current UTC second as "20261206T101500Z": the stamp in the names under which
/// unreadable data is set aside.
[[nodiscard]] std::string compactUtcNow();

}  // namespace kavrano
