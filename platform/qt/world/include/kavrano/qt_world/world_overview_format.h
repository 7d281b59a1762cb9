#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrano::world_overview_format {

// The whole world as one small Web Mercator square, drawn while the world's
// tiles are not there yet (the first frame). Uncompressed, so that it is drawn
// straight from the mapped file with no decoder to load.
//
//   header (16 bytes): magic "KVWO", version, side in pixels, credit length in
//                      bytes (all u32, little-endian)
//   pixels:            side × side, rows from the north, each pixel 0xffRRGGBB
//                      (a u32: Qt's RGB32)
//   credit:            UTF-8, the picture's source, named while it is shown

inline constexpr char kMagic[4] = {'K', 'V', 'W', 'O'};
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::size_t kHeaderSize = 16;
// Larger is refused before anything is sized by it.
inline constexpr std::uint32_t kMaxSide = 1024;
inline constexpr std::uint32_t kMaxCreditBytes = 256;

}  // namespace kavrano::world_overview_format
