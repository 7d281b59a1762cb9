#include "kavrano/qt_places/gazetteer_index_writer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "kavrano/qt_places/gazetteer_format.h"
#include "kavrano/qt_places/place_name_folder.h"

namespace kavrano {

namespace fmt = gazetteer_format;

namespace {

template <typename T>
void put(std::string& out, std::size_t at, T value) {
  std::memcpy(out.data() + at, &value, sizeof value);
}

std::int32_t scaled(double degrees) { return static_cast<std::int32_t>(std::lround(degrees * fmt::kCoordinateScale)); }

}  // namespace

void GazetteerIndexWriter::add(std::string name, std::string subtitle, Coordinate coordinate,
                               std::uint32_t population) {
  constexpr std::size_t kMaxText = std::numeric_limits<std::uint16_t>::max();
  std::string key = PlaceNameFolder::fold(name);
  if (key.empty() || key.size() > kMaxText || name.size() > kMaxText || subtitle.size() > kMaxText) return;
  if (!std::isfinite(coordinate.latitude) || !std::isfinite(coordinate.longitude)) return;
  entries_.push_back({std::move(key), std::move(name), std::move(subtitle), coordinate, population});
}

std::string GazetteerIndexWriter::build() const {
  std::vector<const Entry*> sorted;
  sorted.reserve(entries_.size());
  for (const Entry& e : entries_) sorted.push_back(&e);
  std::sort(sorted.begin(), sorted.end(), [](const Entry* a, const Entry* b) {
    return std::tie(a->key, b->population, a->name, a->subtitle) <
           std::tie(b->key, a->population, b->name, b->subtitle);
  });
  // Same name, same key: the first of a name and subtitle is its most populous.
  std::vector<const Entry*> unique;
  std::unordered_set<std::string> seen;
  for (const Entry* e : sorted) {
    if (seen.insert(e->name + '\0' + e->subtitle).second) unique.push_back(e);
  }

  // Subtitles repeat across thousands of places ("Bavaria, Germany"), and so
  // do keys and names; each distinct text is stored once.
  std::string texts;
  std::unordered_map<std::string, std::uint32_t> textOffsets;
  bool tooLarge = false;
  const auto intern = [&](const std::string& text) -> std::uint32_t {
    const auto [it, inserted] = textOffsets.try_emplace(text, static_cast<std::uint32_t>(texts.size()));
    if (inserted) {
      if (texts.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) tooLarge = true;
      texts += text;
    }
    return it->second;
  };

  const std::size_t recordsOffset = fmt::kHeaderSize;
  std::string records(unique.size() * fmt::kRecordSize, '\0');
  for (std::size_t i = 0; i < unique.size(); ++i) {
    const Entry& e = *unique[i];
    const std::size_t r = i * fmt::kRecordSize;
    put(records, r + fmt::field::kKeyOffset, intern(e.key));
    put(records, r + fmt::field::kNameOffset, intern(e.name));
    put(records, r + fmt::field::kSubtitleOffset, intern(e.subtitle));
    put(records, r + fmt::field::kKeyLength, static_cast<std::uint16_t>(e.key.size()));
    put(records, r + fmt::field::kNameLength, static_cast<std::uint16_t>(e.name.size()));
    put(records, r + fmt::field::kSubtitleLength, static_cast<std::uint16_t>(e.subtitle.size()));
    put(records, r + fmt::field::kLatitude, scaled(e.coordinate.latitude));
    put(records, r + fmt::field::kLongitude, scaled(e.coordinate.longitude));
    put(records, r + fmt::field::kPopulation, e.population);
  }
  if (tooLarge) return {};

  std::string out(fmt::kHeaderSize, '\0');
  std::memcpy(out.data(), fmt::kMagic, sizeof fmt::kMagic);
  put(out, 4, fmt::kVersion);
  put(out, 8, static_cast<std::uint32_t>(unique.size()));
  put(out, 12, static_cast<std::uint32_t>(recordsOffset + records.size()));
  put(out, 16, static_cast<std::uint32_t>(texts.size()));
  put(out, 20, static_cast<std::uint32_t>(recordsOffset));
  out += records;
  out += texts;
  return out;
}

}  // namespace kavrano
