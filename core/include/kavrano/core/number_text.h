#pragma once

#include <optional>
#include <string>

namespace kavrano {

/// The locale whose number conventions the product uses: the override if one is
/// set (`--locale`), else LC_ALL, else LC_NUMERIC, else LANG, with the encoding
/// suffix and modifier dropped ("de_DE.UTF-8" gives "de_DE"). Empty, "C" and
/// "POSIX" give "C". Read afresh on every call.
[[nodiscard]] std::string userNumberLocale();

/// Whether `name` (with any encoding suffix or modifier, as userNumberLocale()
/// drops them) names a locale whose numbers ICU knows: "C", "POSIX", a locale
/// ICU lists, or a listed language with a real country ("en_NL"). "xx_NOPE" is not.
[[nodiscard]] bool isKnownNumberLocale(const std::string& name);

/// Sets or clears the process-wide locale override.
void setUserNumberLocaleOverride(std::optional<std::string> locale);

/// `value` as a decimal number in `locale` with at most two fraction digits,
/// grouping on (off for "C"), rounding half to even. Same text as a new ICU
/// decimal formatter gives; formatters are cached per thread and locale.
[[nodiscard]] std::string decimalText(double value, const std::string& locale);

}  // namespace kavrano
