#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "kavrano/core/preference_store.h"

namespace kavrano::probe {

// Big enough to span many database pages, so a torn write would show.
inline constexpr std::size_t kBlobSize = 100 * 1024;
// The writer stores the blob on every write whose index is a multiple of this.
inline constexpr std::int64_t kBlobEvery = 4;

// The bytes after the index header: a xorshift stream seeded by the index, so any
// page from another write or from nowhere breaks the match.
inline std::uint8_t blobByte(std::uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<std::uint8_t>(state >> 24);
}

inline Bytes makeBlob(std::int64_t index) {
  Bytes blob(kBlobSize);
  const auto u = static_cast<std::uint64_t>(index);
  for (int b = 0; b < 8; ++b) blob[b] = static_cast<std::uint8_t>(u >> (8 * b));
  std::uint64_t state = u * 0x9E3779B97F4A7C15ULL + 1;
  for (std::size_t i = 8; i < blob.size(); ++i) blob[i] = blobByte(state);
  return blob;
}

// The index the blob was made from, or none when it is not exactly such a blob.
inline std::optional<std::int64_t> blobIndex(const Bytes& blob) {
  if (blob.size() != kBlobSize) return std::nullopt;
  std::uint64_t u = 0;
  for (int b = 0; b < 8; ++b) u |= static_cast<std::uint64_t>(blob[b]) << (8 * b);
  const auto index = static_cast<std::int64_t>(u);
  if (makeBlob(index) != blob) return std::nullopt;
  return index;
}

}  // namespace kavrano::probe
