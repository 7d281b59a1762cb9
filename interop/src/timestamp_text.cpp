#include "timestamp_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kavrano::interop {
namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil-days algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month, day;
};

Civil civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

constexpr std::int64_t kReferenceDay = 11323;       // 2001-01-01 in days since 1970-01-01
constexpr double kFirstSecond = -63145526400.0;     // 0000-01-01 relative to the reference date
constexpr double kPastLastSecond = 252423993600.0;  // 10000-01-01, likewise

unsigned daysInMonth(std::int64_t year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at `at`.
std::optional<unsigned> digitsAt(std::string_view text, std::size_t at, std::size_t digits) {
  if (at + digits > text.size()) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<std::string> isoTimestamp(double seconds) {
  if (!std::isfinite(seconds) || seconds < kFirstSecond || seconds >= kPastLastSecond) return std::nullopt;
  const double whole = std::floor(seconds);
  const double fraction = seconds - whole;  // exact: both share the binade or whole is smaller
  const auto wholeSeconds = static_cast<std::int64_t>(whole);
  const std::int64_t dayOffset = (wholeSeconds >= 0 ? wholeSeconds : wholeSeconds - 86399) / 86400;
  const std::int64_t secondOfDay = wholeSeconds - dayOffset * 86400;
  const Civil date = civilFromDays(kReferenceDay + dayOffset);
  char head[96];
  std::snprintf(head, sizeof head, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(date.year),
                date.month, date.day, static_cast<long long>(secondOfDay / 3600),
                static_cast<long long>(secondOfDay / 60 % 60), static_cast<long long>(secondOfDay % 60));
  if (fraction == 0.0) return std::string(head) + "Z";
  // The fewest digits that read back to the same double; 17 always do.
  for (int digits = 1; digits <= 17; ++digits) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "%.*f", digits, fraction);
    if (tail[0] != '0') continue;  // rounded up to a whole second: more digits needed
    const double back = whole + std::strtod(tail, nullptr);
    if (back == seconds || digits == 17) return std::string(head) + (tail + 1) + "Z";
  }
  return std::nullopt;
}

std::optional<double> parseIsoTimestamp(std::string_view text) {
  bool negativeYear = false;
  std::size_t at = 0;
  if (!text.empty() && text[0] == '-') negativeYear = true, at = 1;
  const auto year = digitsAt(text, at, 4);
  if (!year || negativeYear) return std::nullopt;
  at += 4;
  unsigned month = 1, day = 1, hour = 0, minute = 0, second = 0;
  double fraction = 0.0;
  int zoneMinutes = 0;
  if (at < text.size()) {
    const auto m = text[at] == '-' ? digitsAt(text, at + 1, 2) : std::nullopt;
    if (!m || *m < 1 || *m > 12) return std::nullopt;
    month = *m;
    at += 3;
  }
  if (at < text.size()) {
    const auto d = text[at] == '-' ? digitsAt(text, at + 1, 2) : std::nullopt;
    if (!d || *d < 1 || *d > daysInMonth(*year, month)) return std::nullopt;
    day = *d;
    at += 3;
  }
  if (at < text.size()) {
    if (text[at] != 'T' || text.size() < at + 9 || text[at + 3] != ':' || text[at + 6] != ':') return std::nullopt;
    const auto h = digitsAt(text, at + 1, 2), mi = digitsAt(text, at + 4, 2), s = digitsAt(text, at + 7, 2);
    // 24:00:00 is not taken; 60 is a leap second, kept as the next second.
    if (!h || !mi || !s || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
    hour = *h, minute = *mi, second = *s;
    at += 9;
    if (at < text.size() && text[at] == '.') {
      const std::size_t start = at;
      ++at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
      if (at == start + 1) return std::nullopt;
      const std::string digits = "0" + std::string(text.substr(start, at - start));
      fraction = std::strtod(digits.c_str(), nullptr);
    }
    if (at < text.size()) {
      if (text[at] == 'Z') {
        ++at;
      } else if (text[at] == '+' || text[at] == '-') {
        const auto zh = digitsAt(text, at + 1, 2), zm = digitsAt(text, at + 4, 2);
        if (!zh || !zm || text.size() < at + 6 || text[at + 3] != ':' || *zh > 14 || *zm > 59) return std::nullopt;
        zoneMinutes = static_cast<int>(*zh * 60 + *zm) * (text[at] == '-' ? -1 : 1);
        at += 6;
      }
    }
  }
  if (at != text.size()) return std::nullopt;
  const std::int64_t days = daysFromCivil(*year, month, day) - kReferenceDay;
  const std::int64_t whole =
      days * 86400 + std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second - std::int64_t{zoneMinutes} * 60;
  return static_cast<double>(whole) + fraction;
}

}  // namespace kavrano::interop
