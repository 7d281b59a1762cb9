#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrano::detail {

/// Length of the well-formed UTF-8 sequence at `s` (1–4), or 0 when it is not one:
/// overlong forms, surrogates and values past U+10FFFF are refused, as JSON requires.
inline std::size_t utf8SequenceLength(const unsigned char* s, std::size_t left) {
  const unsigned char c = s[0];
  std::size_t n;
  std::uint32_t cp;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    n = 2, cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, cp = c & 0x07;
  } else {
    return 0;
  }
  if (n > left) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace kavrano::detail
