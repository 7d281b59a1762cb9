#include "kavrano/qt_places/gazetteer_index.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "kavrano/qt_places/gazetteer_format.h"
#include "kavrano/qt_places/place_name_folder.h"

namespace kavrano {

namespace fmt = gazetteer_format;

std::optional<GazetteerIndex> GazetteerIndex::open(std::span<const std::byte> bytes) {
  if (!packed_bytes::hasHeader(bytes, fmt::kMagic, fmt::kHeaderSize, fmt::kVersion)) return std::nullopt;
  const std::byte* base = bytes.data();
  const std::uint64_t count = fmt::read<std::uint32_t>(base + 8);
  const std::uint64_t textsOffset = fmt::read<std::uint32_t>(base + 12);
  const std::uint64_t textsSize = fmt::read<std::uint32_t>(base + 16);
  const std::uint64_t recordsOffset = fmt::read<std::uint32_t>(base + 20);
  if (!packed_bytes::within(textsOffset, textsSize, bytes.size()) ||
      !packed_bytes::within(recordsOffset, count * fmt::kRecordSize, bytes.size())) {
    return std::nullopt;
  }
  const std::byte* records = base + recordsOffset;
  // Every text must lie inside the pool, so searching never reads past the bytes.
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::byte* r = records + i * fmt::kRecordSize;
    const auto inPool = [&](std::size_t offsetField, std::size_t lengthField) {
      return packed_bytes::within(fmt::read<std::uint32_t>(r + offsetField), fmt::read<std::uint16_t>(r + lengthField),
                                  textsSize);
    };
    if (!inPool(fmt::field::kKeyOffset, fmt::field::kKeyLength) ||
        !inPool(fmt::field::kNameOffset, fmt::field::kNameLength) ||
        !inPool(fmt::field::kSubtitleOffset, fmt::field::kSubtitleLength)) {
      return std::nullopt;
    }
  }
  GazetteerIndex index(records, static_cast<std::size_t>(count), reinterpret_cast<const char*>(base + textsOffset));
  // Binary search needs sorted keys; a file that is not is not ours.
  for (std::size_t i = 1; i < index.count_; ++i) {
    if (index.key(i) < index.key(i - 1)) return std::nullopt;
  }
  return index;
}

const std::byte* GazetteerIndex::record(std::size_t i) const { return records_ + i * fmt::kRecordSize; }

std::string_view GazetteerIndex::key(std::size_t i) const {
  const std::byte* r = record(i);
  return {texts_ + fmt::read<std::uint32_t>(r + fmt::field::kKeyOffset),
          fmt::read<std::uint16_t>(r + fmt::field::kKeyLength)};
}

GazetteerPlace GazetteerIndex::place(std::size_t i) const {
  const std::byte* r = record(i);
  GazetteerPlace p;
  p.name = {texts_ + fmt::read<std::uint32_t>(r + fmt::field::kNameOffset),
            fmt::read<std::uint16_t>(r + fmt::field::kNameLength)};
  p.subtitle = {texts_ + fmt::read<std::uint32_t>(r + fmt::field::kSubtitleOffset),
                fmt::read<std::uint16_t>(r + fmt::field::kSubtitleLength)};
  p.coordinate.latitude = fmt::read<std::int32_t>(r + fmt::field::kLatitude) / fmt::kCoordinateScale;
  p.coordinate.longitude = fmt::read<std::int32_t>(r + fmt::field::kLongitude) / fmt::kCoordinateScale;
  p.population = fmt::read<std::uint32_t>(r + fmt::field::kPopulation);
  return p;
}

std::pair<std::size_t, std::size_t> GazetteerIndex::prefixRange(std::string_view prefix) const {
  std::size_t lo = 0, hi = count_;
  while (lo < hi) {  // first key not less than the prefix
    const std::size_t mid = lo + (hi - lo) / 2;
    if (key(mid) < prefix)
      lo = mid + 1;
    else
      hi = mid;
  }
  std::size_t first = lo;
  hi = count_;
  while (lo < hi) {  // first key past every key that starts with the prefix
    const std::size_t mid = lo + (hi - lo) / 2;
    if (key(mid).substr(0, prefix.size()) <= prefix)
      lo = mid + 1;
    else
      hi = mid;
  }
  return {first, lo};
}

std::pair<std::size_t, std::size_t> GazetteerIndex::equalRange(std::string_view wanted) const {
  auto [first, last] = prefixRange(wanted);
  std::size_t end = first;
  while (end < last && key(end).size() == wanted.size()) ++end;  // exact keys sort first among the prefixed
  return {first, end};
}

std::vector<GazetteerPlace> GazetteerIndex::suggestions(std::string_view fragment, std::size_t limit) const {
  const std::string folded = PlaceNameFolder::fold(fragment);
  if (folded.empty() || limit == 0) return {};
  const auto [first, last] = prefixRange(folded);

  // A short prefix spans thousands of places: keep the `limit` most populous
  // in a small sorted buffer instead of sorting the range.
  std::vector<std::pair<std::uint32_t, std::size_t>> best;  // (population, record), largest first
  best.reserve(limit + 1);
  for (std::size_t i = first; i < last; ++i) {
    const auto population = fmt::read<std::uint32_t>(record(i) + fmt::field::kPopulation);
    if (best.size() == limit && population <= best.back().first) continue;
    const auto at = std::upper_bound(best.begin(), best.end(), population,
                                     [](std::uint32_t p, const auto& entry) { return p > entry.first; });
    best.insert(at, {population, i});
    if (best.size() > limit) best.pop_back();
  }
  std::vector<GazetteerPlace> out;
  out.reserve(best.size());
  for (const auto& entry : best) out.push_back(place(entry.second));
  return out;
}

std::vector<GazetteerPlace> GazetteerIndex::lookUp(std::string_view query, std::size_t limit) const {
  const std::string folded = PlaceNameFolder::fold(query);
  std::vector<GazetteerPlace> out;
  if (folded.empty() || limit == 0) return out;

  // Where the name may end: before each space, or at the end of the query.
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (folded[i] == ' ') ends.push_back(i);
  }
  ends.push_back(folded.size());

  for (const std::size_t end : ends) {
    const std::string_view rest = end < folded.size() ? std::string_view(folded).substr(end + 1) : std::string_view();
    if (rest.empty()) continue;
    const auto [first, last] = equalRange(std::string_view(folded).substr(0, end));
    for (std::size_t i = first; i < last && out.size() < limit; ++i) {
      const GazetteerPlace p = place(i);
      if (PlaceNameFolder::fold(p.subtitle) == rest) out.push_back(p);
    }
  }
  if (!out.empty()) return out;

  for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
    const auto [first, last] = equalRange(std::string_view(folded).substr(0, *end));
    if (first == last) continue;
    for (std::size_t i = first; i < last && out.size() < limit; ++i) out.push_back(place(i));
    break;
  }
  return out;
}

}  // namespace kavrano
