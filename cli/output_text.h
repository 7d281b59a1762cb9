#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kavrano::cli {

/// `value` with 17 significant digits, as "%.17g" in the C locale; -0 prints as 0.
[[nodiscard]] std::string preciseNumber(double value);

/// Length of the well-formed UTF-8 sequence at `text[at]` (1–4), or 0 when there is
/// none: overlong forms, surrogates and values past U+10FFFF are not UTF-8.
[[nodiscard]] std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

/// `text` safe to print on one terminal line: tab, newline, carriage return and
/// backslash as \t, \n, \r and \\, other C0 controls, DEL and bytes that are not
/// UTF-8 as \xNN, C1 controls (U+0080–U+009F) as \u00NN. Stored text may come
/// from anywhere, and a terminal obeys the controls in what it prints.
[[nodiscard]] std::string escapedForLine(std::string_view text);

/// JSON text with DEL and the C1 controls inside its strings written as \u escapes;
/// JSON writers pass them through as they are, and a terminal would act on them.
[[nodiscard]] std::string withControlsEscaped(std::string json);

/// A JSON string literal with no raw control characters; bytes that are not
/// UTF-8 become U+FFFD.
[[nodiscard]] std::string jsonQuoted(std::string_view text);

}  // namespace kavrano::cli
