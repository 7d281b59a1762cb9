// Compiles Natural Earth's 1:10m land and countries (world-atlas TopoJSON), and
// the order in which the gazetteer's places get a label, into the file the map
// reads in place (world_vectors_format.h). Deterministic: the same inputs give
// the same bytes.
// Usage: kavrano_world_vectors_compile LAND.json COUNTRIES.json GAZETTEER.bin CAPITALS.tsv OUT
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "kavrano/qt_places/gazetteer_index.h"
#include "kavrano/qt_world/world_vectors.h"

namespace {

namespace fmt = kavrano::world_vectors_format;
using kavrano::GridPoint;
using Line = std::vector<GridPoint>;
using Sides = std::pair<std::size_t, std::size_t>;  // two sides of a ring, by their first corner
using nlohmann::json;

// Levels of detail: each is simplified to half a pixel at its largest zoom; the
// last keeps every point of the data (whose own step is about 400 m).
constexpr std::uint32_t kLevelZooms[] = {2, 4, 6, 8, 22};
constexpr std::uint32_t kLabelZooms = 15;  // groups 0–14; a place with no room by 14 gets no label

double worldPixels(std::uint32_t zoom) { return 256.0 * std::ldexp(1.0, static_cast<int>(zoom)); }
double gridPerPixel(std::uint32_t zoom) { return fmt::kGrid / worldPixels(zoom); }

// World units times the grid, y not clamped: Antarctica reaches below the
// Mercator limit and is cut there, not flattened onto it.
struct WorldPoint {
  double x, y;
  friend bool operator==(const WorldPoint&, const WorldPoint&) = default;
};
using WorldLine = std::vector<WorldPoint>;

WorldPoint toWorld(double lon, double lat) {
  const double phi = std::clamp(lat, -89.9, 89.9) * std::numbers::pi / 180.0;
  const double y = 0.5 - std::log(std::tan(std::numbers::pi / 4 + phi / 2)) / (2 * std::numbers::pi);
  return {(lon + 180.0) / 360.0 * fmt::kGrid, y * fmt::kGrid};
}

GridPoint toGrid(const WorldPoint& p) {
  auto grid = [](double v) { return std::clamp<std::int64_t>(std::llround(v), 0, fmt::kGrid); };
  return {grid(p.x), grid(p.y)};
}

GridPoint toGrid(double lon, double lat) { return toGrid(toWorld(lon, lat)); }

Line rounded(const WorldLine& in) {
  Line out;
  for (const WorldPoint& p : in)
    if (const GridPoint g = toGrid(p); out.empty() || !(out.back() == g)) out.push_back(g);
  return out;
}

// The part of a closed ring on one side of a line x = edge or y = edge
// (Sutherland–Hodgman); `keepBelow` keeps the side of smaller values.
WorldLine clip(const WorldLine& ring, bool onX, double edge, bool keepBelow) {
  WorldLine in = ring, out;
  if (!in.empty() && in.front() == in.back()) in.pop_back();
  const auto value = [&](const WorldPoint& p) { return onX ? p.x : p.y; };
  const auto inside = [&](const WorldPoint& p) { return keepBelow ? value(p) <= edge : value(p) >= edge; };
  for (std::size_t i = 0; i < in.size(); ++i) {
    const WorldPoint& a = in[i];
    const WorldPoint& b = in[(i + 1) % in.size()];
    if (inside(a)) out.push_back(a);
    if (inside(a) != inside(b)) {
      const double t = (edge - value(a)) / (value(b) - value(a));
      out.push_back(onX ? WorldPoint{edge, a.y + (b.y - a.y) * t} : WorldPoint{a.x + (b.x - a.x) * t, edge});
    }
  }
  if (!out.empty()) out.push_back(out.front());
  return out;
}

// The data's rings are stitched across the antimeridian (and Antarctica's goes
// round the pole), so a side may jump across the whole world. Unwrapped, each
// ring is a plain polygon, which is cut back into the world's square: at
// x = 0 and 1, and at the Mercator limit.
std::vector<WorldLine> cutIntoWorld(WorldLine ring) {
  const double g = fmt::kGrid;
  for (std::size_t i = 1; i < ring.size(); ++i) ring[i].x -= g * std::round((ring[i].x - ring[i - 1].x) / g);
  if (std::abs(ring.back().x - ring.front().x) > g / 2) {
    // Round a pole: closed along a line beyond it.
    double mean = 0;
    for (const WorldPoint& p : ring) mean += p.y / static_cast<double>(ring.size());
    const double beyond = mean > g / 2 ? 2 * g : -g;
    ring.push_back({ring.back().x, beyond});
    ring.push_back({ring.front().x, beyond});
    ring.push_back(ring.front());
  }
  double left = ring[0].x, right = left;
  for (const WorldPoint& p : ring) left = std::min(left, p.x), right = std::max(right, p.x);
  std::vector<WorldLine> out;
  for (double shift = std::floor(left / g) * g; shift < right; shift += g) {
    WorldLine part = clip(clip(ring, true, shift, false), true, shift + g, true);
    part = clip(clip(part, false, 0, false), false, g, true);
    for (WorldPoint& p : part) p.x -= shift;
    if (part.size() >= 4) out.push_back(std::move(part));
  }
  return out;
}

struct Topology {
  std::vector<WorldLine> arcs;
};

Topology readTopology(const json& topo) {
  const double sx = topo["transform"]["scale"][0], sy = topo["transform"]["scale"][1];
  const double tx = topo["transform"]["translate"][0], ty = topo["transform"]["translate"][1];
  Topology t;
  for (const json& arc : topo["arcs"]) {
    WorldLine line;
    long long qx = 0, qy = 0;
    for (const json& d : arc) {
      qx += d[0].get<long long>();
      qy += d[1].get<long long>();
      line.push_back(toWorld(qx * sx + tx, qy * sy + ty));
    }
    t.arcs.push_back(std::move(line));
  }
  return t;
}

// A ring from its arcs: a negative index ~i is arc i backwards; each arc after
// the first starts where the last ended.
WorldLine ringOf(const Topology& t, const json& arcs) {
  WorldLine ring;
  for (const json& a : arcs) {
    const int i = a.get<int>();
    WorldLine arc = t.arcs.at(static_cast<std::size_t>(i < 0 ? ~i : i));
    if (i < 0) std::reverse(arc.begin(), arc.end());
    for (const WorldPoint& p : arc)
      if (ring.empty() || !(ring.back() == p)) ring.push_back(p);
  }
  if (!ring.empty() && !(ring.front() == ring.back())) ring.push_back(ring.front());
  return ring;
}

template <typename F>
void forEachPolygon(const json& geometry, F&& f) {
  if (geometry["type"] == "Polygon") f(geometry["arcs"]);
  if (geometry["type"] == "MultiPolygon")
    for (const json& polygon : geometry["arcs"]) f(polygon);
}

double segmentDistance(const GridPoint& p, const GridPoint& a, const GridPoint& b) {
  const double dx = static_cast<double>(b.x - a.x), dy = static_cast<double>(b.y - a.y);
  const double px = static_cast<double>(p.x - a.x), py = static_cast<double>(p.y - a.y);
  const double len = dx * dx + dy * dy;
  const double t = len > 0 ? std::clamp((px * dx + py * dy) / len, 0.0, 1.0) : 0.0;
  return std::hypot(px - t * dx, py - t * dy);
}

// Douglas–Peucker between kept ends.
void simplifySpan(const Line& in, std::size_t first, std::size_t last, double tolerance, std::vector<bool>& keep) {
  std::vector<std::pair<std::size_t, std::size_t>> spans{{first, last}};
  while (!spans.empty()) {
    const auto [a, b] = spans.back();
    spans.pop_back();
    double worst = -1;
    std::size_t at = a;
    for (std::size_t i = a + 1; i < b; ++i) {
      const double d = segmentDistance(in[i], in[a], in[b]);
      if (d > worst) worst = d, at = i;
    }
    if (worst > tolerance) {
      keep[at] = true;
      spans.push_back({a, at});
      spans.push_back({at, b});
    }
  }
}

Line kept(const Line& in, const std::vector<bool>& keep) {
  Line out;
  for (std::size_t i = 0; i < in.size(); ++i)
    if (keep[i]) out.push_back(in[i]);
  return out;
}

Line simplifyLine(const Line& line, double tolerance) {
  if (tolerance <= 0 || line.size() < 3) return line;
  std::vector<bool> keep(line.size(), false);
  keep.front() = keep.back() = true;
  simplifySpan(line, 0, line.size() - 1, tolerance, keep);
  return kept(line, keep);
}

std::vector<Sides> crossings(const Line& ring, bool all);

// A closed ring is split at its first point and the point farthest from it.
// Where the simplified ring crosses itself, the sides that cross get back the
// point of the data farthest from them, until it no longer does (at worst it
// is the data again).
Line simplifyRing(const Line& ring, double tolerance) {
  if (tolerance <= 0 || ring.size() < 5) return ring;
  std::size_t far = 0;
  double farthest = -1;
  for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
    const double d = std::hypot(static_cast<double>(ring[i].x - ring[0].x), static_cast<double>(ring[i].y - ring[0].y));
    if (d > farthest) farthest = d, far = i;
  }
  std::vector<bool> keep(ring.size(), false);
  keep.front() = keep.back() = keep[far] = true;
  simplifySpan(ring, 0, far, tolerance, keep);
  simplifySpan(ring, far, ring.size() - 1, tolerance, keep);
  for (;;) {
    std::vector<std::size_t> index;  // simplified corner → data point
    for (std::size_t i = 0; i < ring.size(); ++i)
      if (keep[i]) index.push_back(i);
    Line out;
    for (const std::size_t i : index) out.push_back(ring[i]);
    const std::vector<Sides> bad = crossings(out, true);
    if (bad.empty()) return out;
    bool refined = false;
    auto refine = [&](std::size_t side) {
      if (side + 1 >= index.size()) return;
      const std::size_t a = index[side], b = index[side + 1];
      std::size_t at = a;
      double worst = -1;
      for (std::size_t i = a + 1; i < b; ++i)
        if (const double d = segmentDistance(ring[i], ring[a], ring[b]); d > worst) worst = d, at = i;
      if (at != a) keep[at] = refined = true;
    };
    for (const auto& [i, j] : bad) {
      if (i == j) {  // degenerate: a corner more everywhere
        for (std::size_t k = 0; k + 1 < index.size(); ++k) refine(k);
      } else {
        refine(i);
        refine(j);
      }
    }
    if (!refined) return out;  // the data's own crossing; repaired() leaves none
  }
}

// A ring that passes a point twice is two rings joined there: each loop is
// cut out as a ring of its own, so that every ring can be simple.
std::vector<Line> splitAtRepeats(const Line& ring) {
  std::vector<Line> out;
  Line path;
  std::map<std::pair<std::int64_t, std::int64_t>, std::size_t> at;  // point → index in path
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    const GridPoint& p = ring[i];
    if (auto it = at.find({p.x, p.y}); it != at.end()) {
      Line loop(path.begin() + static_cast<std::ptrdiff_t>(it->second), path.end());
      for (auto k = it->second + 1; k < path.size(); ++k) at.erase({path[k].x, path[k].y});
      path.resize(it->second + 1);
      loop.push_back(p);
      if (loop.size() >= 4) out.push_back(std::move(loop));
      continue;
    }
    at[{p.x, p.y}] = path.size();
    path.push_back(p);
  }
  if (path.size() >= 3) {
    path.push_back(path.front());
    out.push_back(std::move(path));
  }
  return out;
}

__int128 twiceArea(const Line& ring) {
  __int128 sum = 0;
  for (std::size_t i = 1; i < ring.size(); ++i)
    sum += static_cast<__int128>(ring[i - 1].x) * ring[i].y - static_cast<__int128>(ring[i].x) * ring[i - 1].y;
  return sum;
}

int orientation(const GridPoint& a, const GridPoint& b, const GridPoint& c) {
  const std::int64_t v = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  return (v > 0) - (v < 0);
}

bool onSegment(const GridPoint& a, const GridPoint& b, const GridPoint& p) {
  return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
         p.y <= std::max(a.y, b.y);
}

bool segmentsMeet(const GridPoint& a, const GridPoint& b, const GridPoint& c, const GridPoint& d) {
  const int o1 = orientation(a, b, c), o2 = orientation(a, b, d), o3 = orientation(c, d, a), o4 = orientation(c, d, b);
  if (o1 != o2 && o3 != o4) return true;
  return (o1 == 0 && onSegment(a, b, c)) || (o2 == 0 && onSegment(a, b, d)) || (o3 == 0 && onSegment(c, d, a)) ||
         (o4 == 0 && onSegment(c, d, b));
}

// Corners on a straight line go: rounding to the grid leaves spikes that
// double back on themselves, which a simple ring cannot have.
Line dropCollinear(const Line& ring) {
  Line out;
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    out.push_back(ring[i]);
    while (out.size() >= 3 && orientation(out[out.size() - 3], out[out.size() - 2], out.back()) == 0)
      out.erase(out.end() - 2);
  }
  while (out.size() >= 3 && orientation(out[out.size() - 2], out.back(), out.front()) == 0) out.pop_back();
  while (out.size() >= 3 && orientation(out.back(), out[0], out[1]) == 0) out.erase(out.begin());
  if (out.size() < 3) return {};
  out.push_back(out.front());
  return out;
}

// Where a ring is not simple: none when it is closed, has three corners at
// least, an area, and no side meeting another except its neighbours at their
// shared corner; else the first two sides found meeting (i < j), or (0, 0) for
// a degenerate ring. Sides are bucketed in a grid so that a ring of 100,000
// points is checked in linear time.
std::vector<Sides> crossings(const Line& ring, bool all) {
  if (ring.size() < 4 || !(ring.front() == ring.back()) || twiceArea(ring) == 0) return {{0, 0}};
  const std::size_t n = ring.size() - 1;
  std::int64_t left = ring[0].x, right = left, top = ring[0].y, bottom = top;
  for (const GridPoint& p : ring) {
    left = std::min(left, p.x), right = std::max(right, p.x), top = std::min(top, p.y), bottom = std::max(bottom, p.y);
  }
  const std::int64_t cells = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::sqrt(static_cast<double>(n))));
  const std::int64_t cw = std::max<std::int64_t>(1, (right - left) / cells + 1);
  const std::int64_t ch = std::max<std::int64_t>(1, (bottom - top) / cells + 1);
  std::map<std::int64_t, std::vector<std::size_t>> grid;
  for (std::size_t i = 0; i < n; ++i) {
    const GridPoint &a = ring[i], &b = ring[i + 1];
    for (std::int64_t cx = (std::min(a.x, b.x) - left) / cw; cx <= (std::max(a.x, b.x) - left) / cw; ++cx)
      for (std::int64_t cy = (std::min(a.y, b.y) - top) / ch; cy <= (std::max(a.y, b.y) - top) / ch; ++cy)
        grid[cx * (cells + 2) + cy].push_back(i);
  }
  std::vector<Sides> found;
  for (const auto& [cell, sides] : grid) {
    for (std::size_t p = 0; p < sides.size(); ++p) {
      for (std::size_t q = p + 1; q < sides.size(); ++q) {
        const std::size_t i = std::min(sides[p], sides[q]), j = std::max(sides[p], sides[q]);
        if (j == i + 1 || (i == 0 && j == n - 1)) continue;
        if (segmentsMeet(ring[i], ring[i + 1], ring[j], ring[j + 1])) {
          found.push_back({i, j});
          if (!all) return found;
        }
      }
    }
  }
  return found;
}

std::optional<Sides> crossing(const Line& ring) {
  auto found = crossings(ring, false);
  return found.empty() ? std::nullopt : std::optional(found.front());
}

bool validRing(const Line& ring) { return !crossing(ring); }

// The data's few crossings are small loops (bow ties of a few hundred metres):
// the shorter way round between the two sides that meet is cut out.
Line repaired(Line ring) {
  for (int round = 0; round < 64; ++round) {
    const auto at = crossing(ring);
    if (!at) return ring;
    const auto [i, j] = *at;
    if (i == j) return {};
    const std::size_t n = ring.size() - 1;
    Line open(ring.begin(), ring.end() - 1);
    if (j - i <= n / 2) {
      open.erase(open.begin() + static_cast<std::ptrdiff_t>(i + 1), open.begin() + static_cast<std::ptrdiff_t>(j + 1));
    } else {
      open = Line(open.begin() + static_cast<std::ptrdiff_t>(i + 1), open.begin() + static_cast<std::ptrdiff_t>(j + 1));
    }
    if (open.size() < 3) return {};
    open.push_back(open.front());
    ring = dropCollinear(open);
    if (ring.empty()) return {};
  }
  return {};
}

struct Shape {
  fmt::ShapeKind kind;
  Line points;
};

void putU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void putVarint(std::string& out, std::int64_t delta) {
  auto v = static_cast<std::uint32_t>((delta << 1) ^ (delta >> 63));
  while (v >= 0x80) {
    out.push_back(static_cast<char>((v & 0x7f) | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<char>(v));
}

struct Place {
  std::uint32_t record;
  GridPoint at;
  std::uint32_t population;
  bool capital;
  double width;  // pixels, as the label will roughly take
};

// The zoom from which every place is a candidate for a label: the first zoom
// at which no place before it in priority order (capitals, then the most
// populous) that is worth a label there is within its label's box, whether
// that place is labelled or not. So a town is never labelled beside a larger
// place that is left out; and as distances on screen only grow with the zoom,
// a candidate stays one at every larger zoom. The boxes are about the size of
// the names drawn: larger, and a larger place would be left out for want of
// room it has on screen; the map decides with the true sizes.
std::vector<std::uint32_t> labelZooms(const std::vector<Place>& places) {
  // A town of 10^(7 − z/2) people is worth a label at zoom z: 1 million at the
  // scale of a continent (2), 10,000 at a region's (6), every place at 8.
  auto populationFor = [](std::uint32_t z) { return std::pow(10.0, 7.0 - z / 2.0); };
  // Pixels: a name is drawn 12 high with a 3-pixel halo all round.
  constexpr double kHeight = 20, kMargin = 1;
  constexpr double kCell = 128;
  std::vector<std::uint32_t> from(places.size(), kLabelZooms);
  for (std::uint32_t z = 0; z < kLabelZooms; ++z) {
    const double scale = worldPixels(z) / fmt::kGrid;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> grid;
    auto box = [&](std::size_t i) {
      const double x = places[i].at.x * scale, y = places[i].at.y * scale;
      const double w = places[i].width / 2 + kMargin, h = kHeight / 2 + kMargin;
      return std::array<double, 4>{x - w, y - h, x + w, y + h};
    };
    // Each kept box is filed under every cell it touches, so a box of any
    // width meets all the boxes it overlaps.
    auto eachCell = [&](const std::array<double, 4>& b, auto&& f) {
      for (auto cx = static_cast<std::int64_t>(std::floor(b[0] / kCell));
           cx <= static_cast<std::int64_t>(std::floor(b[2] / kCell)); ++cx)
        for (auto cy = static_cast<std::int64_t>(std::floor(b[1] / kCell));
             cy <= static_cast<std::int64_t>(std::floor(b[3] / kCell)); ++cy)
          if (!f(cx * 1'000'000'007LL + cy)) return false;
      return true;
    };
    auto fits = [&](std::size_t i) {
      const auto b = box(i);
      return eachCell(b, [&](std::int64_t cell) {
        const auto it = grid.find(cell);
        if (it == grid.end()) return true;
        return std::none_of(it->second.begin(), it->second.end(), [&](std::size_t j) {
          const auto o = box(j);
          return b[0] < o[2] && o[0] < b[2] && b[1] < o[3] && o[1] < b[3];
        });
      });
    };
    for (std::size_t i = 0; i < places.size(); ++i) {
      // A capital shows from a country's scale (3) whatever its size.
      const bool eligible = places[i].population >= populationFor(z) || (places[i].capital && z >= 3);
      if (!eligible) continue;
      if (fits(i)) from[i] = std::min(from[i], z);
      eachCell(box(i), [&](std::int64_t cell) {
        grid[cell].push_back(i);
        return true;
      });
    }
  }
  return from;
}

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc != 6) {
    std::cerr << "usage: kavrano_world_vectors_compile LAND.json COUNTRIES.json GAZETTEER.bin CAPITALS.tsv OUT\n";
    return 2;
  }
  const json land = json::parse(readFile(argv[1]), nullptr, false);
  const json countries = json::parse(readFile(argv[2]), nullptr, false);
  if (land.is_discarded() || countries.is_discarded()) {
    std::cerr << "world_vectors: the TopoJSON files do not parse\n";
    return 1;
  }
  std::vector<Shape> full;
  {
    const Topology t = readTopology(land);
    for (const json& g : land["objects"]["land"]["geometries"])
      forEachPolygon(g, [&](const json& polygon) {
        for (const json& ring : polygon)
          for (const WorldLine& part : cutIntoWorld(ringOf(t, ring)))
            for (Line& loop : splitAtRepeats(rounded(part)))
              if (Line clean = repaired(dropCollinear(loop)); !clean.empty())
                full.push_back({fmt::ShapeKind::Land, std::move(clean)});
      });
  }
  {
    // Borders are the arcs two countries share; the rest is coast.
    const Topology t = readTopology(countries);
    std::vector<std::set<std::size_t>> users(t.arcs.size());
    const json& geometries = countries["objects"]["countries"]["geometries"];
    for (std::size_t g = 0; g < geometries.size(); ++g)
      forEachPolygon(geometries[g], [&](const json& polygon) {
        for (const json& ring : polygon)
          for (const json& a : ring)
            users.at(static_cast<std::size_t>(a.get<int>() < 0 ? ~a.get<int>() : a.get<int>())).insert(g);
      });
    for (std::size_t a = 0; a < t.arcs.size(); ++a)
      if (Line line = rounded(t.arcs[a]); users[a].size() == 2 && line.size() >= 2)
        full.push_back({fmt::ShapeKind::Border, std::move(line)});
  }

  std::vector<std::vector<Shape>> levels;
  std::size_t badSource = 0, invalid = 0;
  for (const Shape& s : full)
    if (s.kind == fmt::ShapeKind::Land && !validRing(s.points)) ++badSource;
  for (const std::uint32_t zoom : kLevelZooms) {
    const bool last = zoom == kLevelZooms[std::size(kLevelZooms) - 1];
    const double tolerance = last ? 0 : gridPerPixel(zoom) / 2;
    const double minimumArea = last ? 0 : 2 * gridPerPixel(zoom) * gridPerPixel(zoom);  // two square pixels
    std::vector<Shape> shapes;
    for (const Shape& s : full) {
      if (s.kind == fmt::ShapeKind::Border) {
        Line line = simplifyLine(s.points, tolerance);
        if (line.size() >= 2) shapes.push_back({s.kind, std::move(line)});
        continue;
      }
      if (!last &&
          static_cast<double>(twiceArea(s.points) < 0 ? -twiceArea(s.points) : twiceArea(s.points)) / 2 < minimumArea)
        continue;  // an islet below what the level can show
      Line ring = simplifyRing(s.points, tolerance);
      if (!validRing(ring)) ++invalid;
      if (ring.size() >= 4) shapes.push_back({s.kind, std::move(ring)});
    }
    levels.push_back(std::move(shapes));
  }

  // Labels: the gazetteer's places in priority order.
  const std::string gazetteerBytes = readFile(argv[3]);
  const auto gazetteer = kavrano::GazetteerIndex::open(
      std::span(reinterpret_cast<const std::byte*>(gazetteerBytes.data()), gazetteerBytes.size()));
  if (!gazetteer) {
    std::cerr << "world_vectors: " << argv[3] << " is not a gazetteer index\n";
    return 1;
  }
  std::set<std::pair<long, long>> capitals;
  {
    std::istringstream in(readFile(argv[4]));
    for (double lat, lon; in >> lat >> lon;) capitals.insert({std::lround(lat * 1e4), std::lround(lon * 1e4)});
  }
  std::vector<Place> places;
  for (std::size_t i = 0; i < gazetteer->size(); ++i) {
    const kavrano::GazetteerPlace p = gazetteer->place(i);
    std::size_t glyphs = 0;
    for (const char c : p.name) glyphs += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    const bool capital =
        capitals.contains({std::lround(p.coordinate.latitude * 1e4), std::lround(p.coordinate.longitude * 1e4)});
    places.push_back({static_cast<std::uint32_t>(i), toGrid(p.coordinate.longitude, p.coordinate.latitude),
                      p.population, capital, 7.0 * static_cast<double>(glyphs)});
  }
  std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
    return a.capital != b.capital ? a.capital : a.population > b.population;
  });
  if (places.size() >= std::size_t{1} << 24) {  // a label's rank has 24 bits
    std::cerr << "world_vectors: too many places for a label's rank\n";
    return 1;
  }
  const std::vector<std::uint32_t> from = labelZooms(places);
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < places.size(); ++i)
    if (from[i] < kLabelZooms) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::tie(from[a], places[a].at.x) < std::tie(from[b], places[b].at.x);
  });

  // Header, level table, then each level's shape table and points, then labels.
  std::string out(fmt::kHeaderSize + levels.size() * fmt::kLevelSize, '\0');
  std::string tables, points;
  std::vector<std::uint32_t> shapesOffsets;
  std::size_t shapeTables = 0;
  for (const auto& shapes : levels) shapeTables += shapes.size() * fmt::kShapeSize;
  const std::size_t pointsStart = out.size() + shapeTables;
  for (std::size_t l = 0; l < levels.size(); ++l) {
    shapesOffsets.push_back(static_cast<std::uint32_t>(out.size() + tables.size()));
    for (const Shape& s : levels[l]) {
      std::int64_t left = s.points[0].x, right = left, top = s.points[0].y, bottom = top;
      for (const GridPoint& p : s.points)
        left = std::min(left, p.x), right = std::max(right, p.x), top = std::min(top, p.y),
        bottom = std::max(bottom, p.y);
      const std::size_t start = points.size();
      GridPoint prev;
      for (const GridPoint& p : s.points) {
        putVarint(points, p.x - prev.x);
        putVarint(points, p.y - prev.y);
        prev = p;
      }
      for (const std::int64_t v :
           {static_cast<std::int64_t>(s.kind), left, top, right, bottom, static_cast<std::int64_t>(s.points.size()),
            static_cast<std::int64_t>(pointsStart + start), static_cast<std::int64_t>(points.size() - start)})
        putU32(tables, static_cast<std::uint32_t>(v));
    }
  }
  std::string level;
  for (std::size_t l = 0; l < levels.size(); ++l) {
    level.clear();
    for (const std::uint32_t v : {kLevelZooms[l], static_cast<std::uint32_t>(levels[l].size()), shapesOffsets[l], 0u})
      putU32(level, v);
    std::memcpy(out.data() + fmt::kHeaderSize + l * fmt::kLevelSize, level.data(), level.size());
  }
  out += tables;
  out += points;
  const auto labelsOffset = static_cast<std::uint32_t>(out.size());
  for (std::uint32_t z = 0, next = 0; z < kLabelZooms; ++z) {
    std::uint32_t count = 0;
    while (next + count < order.size() && from[order[next + count]] == z) ++count;
    putU32(out, next);
    putU32(out, count);
    next += count;
  }
  for (const std::size_t i : order) {
    for (const std::uint32_t v :
         {static_cast<std::uint32_t>(places[i].at.x), static_cast<std::uint32_t>(places[i].at.y), places[i].record,
          from[i] | static_cast<std::uint32_t>(i) << 8})
      putU32(out, v);
  }
  std::string header;
  for (const std::uint32_t v :
       {fmt::kVersion, static_cast<std::uint32_t>(levels.size()), kLabelZooms, static_cast<std::uint32_t>(order.size()),
        labelsOffset, static_cast<std::uint32_t>(gazetteer->size()), 0u})
    putU32(header, v);
  std::memcpy(out.data(), fmt::kMagic, sizeof fmt::kMagic);
  std::memcpy(out.data() + 4, header.data(), header.size());

  if (!kavrano::WorldVectors::open(std::span(reinterpret_cast<const std::byte*>(out.data()), out.size()))) {
    std::cerr << "world_vectors: the file made does not read back\n";
    return 1;
  }
  std::ofstream file(argv[5], std::ios::binary | std::ios::trunc);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!file) {
    std::cerr << "world_vectors: cannot write " << argv[5] << "\n";
    return 1;
  }
  if (invalid > 0) {
    std::cerr << "world_vectors: " << invalid << " simplified rings cross themselves\n";
    return 1;
  }
  std::cout << "world_vectors: " << out.size() << " bytes; rings crossing themselves in the data: " << badSource
            << ", simplified crossing: " << invalid << "; labels: " << order.size() << "\n";
  return 0;
} catch (const std::exception& e) {
  std::cerr << "world_vectors: " << e.what() << "\n";
  return 1;
}
