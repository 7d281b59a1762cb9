#include "kavrano/core/number_text.h"

#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace kavrano {
namespace {

std::mutex overrideMutex;
std::optional<std::string> localeOverride;

std::string normalised(std::string name) {
  // "de_DE.UTF-8@euro" → "de_DE": ICU wants neither the encoding nor a POSIX modifier.
  if (auto cut = name.find_first_of(".@"); cut != std::string::npos) name.erase(cut);
  if (name.empty() || name == "C" || name == "POSIX") return "C";
  return name;
}

struct FormatterDeleter {
  void operator()(UNumberFormat* f) const { unum_close(f); }
};
using Formatter = std::unique_ptr<UNumberFormat, FormatterDeleter>;

// A decimal formatter as the platform's number formatter sets it up: decimal style,
// at most two fraction digits, the rest at ICU's defaults (grouping, half-even).
Formatter makeFormatter(const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  const bool posix = locale == "C";
  Formatter f(unum_open(UNUM_DECIMAL, nullptr, 0, posix ? "en_US_POSIX" : locale.c_str(), nullptr, &status));
  if (U_FAILURE(status) || !f) {
    status = U_ZERO_ERROR;
    f.reset(unum_open(UNUM_DECIMAL, nullptr, 0, "en_US_POSIX", nullptr, &status));
  }
  unum_setAttribute(f.get(), UNUM_MAX_FRACTION_DIGITS, 2);
  if (posix) unum_setAttribute(f.get(), UNUM_GROUPING_USED, 0);
  return f;
}

// Formatters are not safe to share between threads, and opening one costs tens of
// microseconds: keep one per locale per thread. The text is the same either way.
UNumberFormat* formatterFor(const std::string& locale) {
  thread_local std::vector<std::pair<std::string, Formatter>> cache;
  for (auto& [name, f] : cache)
    if (name == locale) return f.get();
  cache.emplace_back(locale, makeFormatter(locale));
  return cache.back().second.get();
}

std::string toUtf8(const UChar* text, int32_t length) {
  std::string out(static_cast<std::size_t>(length) * 3 + 1, '\0');
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &written, text, length, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(written));
  return out;
}

}  // namespace

std::string userNumberLocale() {
  {
    std::lock_guard lock(overrideMutex);
    if (localeOverride) return normalised(*localeOverride);
  }
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return normalised(value);
  }
  return "C";
}

namespace {

bool isAvailableLocale(const std::string& name) {
  const int32_t count = uloc_countAvailable();
  for (int32_t i = 0; i < count; ++i)
    if (name == uloc_getAvailable(i)) return true;
  return false;
}

}  // namespace

bool isKnownNumberLocale(const std::string& name) {
  const auto locale = normalised(name);
  if (locale == "C" || isAvailableLocale(locale)) return true;
  // ICU lists a language with only some of its countries; any real country will do.
  const auto underscore = locale.find('_');
  if (underscore == std::string::npos || !isAvailableLocale(locale.substr(0, underscore))) return false;
  const auto country = locale.substr(underscore + 1);
  if (country.size() != 2) return false;
  UErrorCode status = U_ZERO_ERROR;
  char canonical[64];
  uloc_canonicalize(("und_" + country).c_str(), canonical, sizeof canonical, &status);
  return U_SUCCESS(status) && *uloc_getISO3Country(canonical) != '\0';
}

void setUserNumberLocaleOverride(std::optional<std::string> locale) {
  std::lock_guard lock(overrideMutex);
  localeOverride = std::move(locale);
}

std::string decimalText(double value, const std::string& locale) {
  UNumberFormat* f = formatterFor(locale);
  UChar buffer[128];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = unum_formatDouble(f, value, buffer, 128, nullptr, &status);
  if (U_FAILURE(status) || length > 128) {
    std::vector<UChar> large(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    const int32_t again =
        unum_formatDouble(f, value, large.data(), static_cast<int32_t>(large.size()), nullptr, &status);
    return U_FAILURE(status) ? std::string{} : toUtf8(large.data(), again);
  }
  return toUtf8(buffer, length);
}

}  // namespace kavrano
