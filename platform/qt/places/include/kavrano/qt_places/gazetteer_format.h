#pragma once

#include <cstddef>
#include <cstdint>

#include "kavrano/core/packed_bytes.h"

namespace kavrano::gazetteer_format {

// The compiled gazetteer: a header, a table of fixed-size place records sorted by
// folded name (then by population, largest first), and one pool of UTF-8 texts.
// All integers little-endian. It is read in place, without copying, so loading
// costs one validation pass.
//
//   header  (24 bytes): magic "KVGZ", version, place count, texts offset,
//                       texts size, records offset
//   record  (32 bytes): key offset, name offset, subtitle offset (into the texts),
//                       key, name and subtitle lengths (u16 each), padding (u16),
//                       latitude and longitude (i32, 1e-5 degrees), population (u32)

inline constexpr char kMagic[4] = {'K', 'V', 'G', 'Z'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 24;
inline constexpr std::size_t kRecordSize = 32;
inline constexpr double kCoordinateScale = 1e5;

namespace field {
inline constexpr std::size_t kKeyOffset = 0;
inline constexpr std::size_t kNameOffset = 4;
inline constexpr std::size_t kSubtitleOffset = 8;
inline constexpr std::size_t kKeyLength = 12;
inline constexpr std::size_t kNameLength = 14;
inline constexpr std::size_t kSubtitleLength = 16;
inline constexpr std::size_t kLatitude = 20;
inline constexpr std::size_t kLongitude = 24;
inline constexpr std::size_t kPopulation = 28;
}  // namespace field

using packed_bytes::read;

}  // namespace kavrano::gazetteer_format
