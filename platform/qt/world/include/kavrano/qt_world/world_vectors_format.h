#pragma once

#include <cstddef>
#include <cstdint>

#include "kavrano/core/packed_bytes.h"

namespace kavrano::world_vectors_format {

// The compiled world: land rings and country borders at a few levels of detail,
// and the place labels' spatial order. All integers little-endian; read in place.
//
//   header  (32 bytes): magic "KVWV", version, level count, label group count,
//                       label count, labels offset, gazetteer place count, 0
//   level   (16 bytes): largest zoom served, shape count, shapes offset, 0
//   shape   (32 bytes): kind (u32), bounding box (4 × u32: left, top, right,
//                       bottom), point count, point bytes offset, size
//   points:             zigzag varint deltas of x then y, starting from (0, 0)
//   label groups (8 bytes each, one per zoom from 0): first label, label count
//   label   (16 bytes): x, y, gazetteer record, then the zoom it shows from
//                       (low 8 bits) and its rank (the rest: 0 goes first when
//                       names compete for room); sorted by zoom, then by x
//
// Coordinates are Web Mercator world units times kGrid, in [0, kGrid]: x east
// from −180°, y south from 85.0511°.

inline constexpr char kMagic[4] = {'K', 'V', 'W', 'V'};
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kLevelSize = 16;
inline constexpr std::size_t kShapeSize = 32;
inline constexpr std::size_t kLabelGroupSize = 8;
inline constexpr std::size_t kLabelSize = 16;
// 2^24: a step is 2.4 m at the equator, finer than the data's own 400 m
// quantisation, and most deltas fit in two bytes.
inline constexpr std::uint32_t kGrid = 1u << 24;
// No file of ours has more; a larger count is refused before anything is sized by it.
inline constexpr std::uint32_t kMaxLevels = 16;
inline constexpr std::uint32_t kMaxLabelGroups = 32;

enum class ShapeKind : std::uint32_t { Land = 0, Border = 1 };

using packed_bytes::read;

}  // namespace kavrano::world_vectors_format
