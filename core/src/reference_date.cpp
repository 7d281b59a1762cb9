#include "kavrano/core/reference_date.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace kavrano {

double secondsSinceReferenceDateNow() {
  using namespace std::chrono;
  const auto sinceEpoch = duration_cast<microseconds>(system_clock::now().time_since_epoch());
  return static_cast<double>(sinceEpoch.count()) / 1e6 - kReferenceDateUnixSeconds;
}

std::string iso8601Utc(double secondsSinceReferenceDate) {
  const double unix = std::floor(secondsSinceReferenceDate + kReferenceDateUnixSeconds);
  // time_t and gmtime_r cover years 0…9999 comfortably; beyond that, say so.
  if (!std::isfinite(unix) || unix < -62167219200.0 || unix > 253402300799.0) return "invalid-date";
  const std::time_t t = static_cast<std::time_t>(unix);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string compactUtcNow() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  return stamp;
}

}  // namespace kavrano
