#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// Reading the compiled files we ship, in place: fixed-size little-endian fields
// whose offsets and counts come from the file itself, so none is trusted.
namespace kavrano::packed_bytes {

// Little-endian hosts only (x86, ARM as Android and iOS run it); memcpy keeps
// unaligned reads legal.
template <typename T>
[[nodiscard]] inline T read(const std::byte* at) {
  static_assert(std::endian::native == std::endian::little);
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// Written so that no sum of file-given numbers can wrap.
[[nodiscard]] inline bool within(std::uint64_t offset, std::uint64_t size, std::uint64_t total) {
  return offset <= total && size <= total - offset;
}

// Long enough for the header, and the magic and version (the four bytes after
// it) are the ones this reader knows.
[[nodiscard]] inline bool hasHeader(std::span<const std::byte> bytes, const char (&magic)[4], std::size_t headerSize,
                                    std::uint32_t version) {
  return bytes.size() >= headerSize && headerSize >= 8 && std::memcmp(bytes.data(), magic, sizeof magic) == 0 &&
         read<std::uint32_t>(bytes.data() + 4) == version;
}

}  // namespace kavrano::packed_bytes
