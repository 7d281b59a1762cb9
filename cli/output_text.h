#pragma once

#include <string>
#include <string_view>

namespace kavrano::cli {

/// `value` with 17 significant digits, as "%.17g" in the C locale; -0 prints as 0.
[[nodiscard]] std::string preciseNumber(double value);

/// Tab, newline and backslash as \t, \n and \\, so one record stays one line.
[[nodiscard]] std::string escapedForLine(std::string_view text);

/// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
[[nodiscard]] std::string jsonQuoted(std::string_view text);

}  // namespace kavrano::cli
