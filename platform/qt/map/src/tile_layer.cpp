#include "kavrano/qt_map/tile_layer.h"

#include <algorithm>
#include <cmath>

namespace kavrano {

namespace {
// How many levels up a missing tile looks for something to scale up: beyond
// eight a pixel becomes a 256-point blur that helps nobody.
constexpr int kAncestorLevels = 8;

int wrap(int x, int n) { return ((x % n) + n) % n; }
}  // namespace

// 32 MiB: 128 decoded tiles, a phone screen and its ring of tiles (35 at most on
// a 390 × 844 view) three times over, for panning or zooming back; beyond that
// the disk cache or the MBTiles file gives them again in milliseconds.
TileLayer::TileLayer(QObject* parent) : QObject(parent) {
  setMemoryCacheBytes(32LL * 1024 * 1024);
  clock_.start();
  retry_.setSingleShot(true);
  retry_.setTimerType(Qt::PreciseTimer);
  // Due tiles are asked for by the next update, which a change brings.
  retry_.callOnTimeout(this, &TileLayer::changed);
}

void TileLayer::setSource(std::unique_ptr<TileSource> source) {
  if (source_) {
    for (const TileId& t : std::as_const(wanted_)) source_->cancel(t);
    source_->disconnect(this);
  }
  wanted_.clear();
  requested_.clear();
  unavailable_.clear();
  visible_.clear();
  ringDroppedFor_.reset();
  retry_.stop();
  cache_.clear();
  source_ = std::move(source);
  if (!source_) return;
  connect(source_.get(), &TileSource::tileReady, this, &TileLayer::arrived);
  connect(source_.get(), &TileSource::tileUnavailable, this, &TileLayer::missing);
  connect(source_.get(), &TileSource::reachable, this, [this] {
    for (Unavailable& u : unavailable_)
      if (u.askAgainAtMs) u.askAgainAtMs = clock_.elapsed();
    if (!unavailable_.isEmpty()) emit changed();
  });
}

void TileLayer::missing(const TileId& tile) {
  requested_.remove(tile);
  if (!wanted_.contains(tile)) return;
  Unavailable& u = unavailable_[tile];
  ++u.failures;
  const auto delay = source_->retryDelay(u.failures);
  u.askAgainAtMs = delay ? std::optional<qint64>(clock_.elapsed() + delay->count()) : std::nullopt;
  scheduleRetry();
}

bool TileLayer::waitingToRetry(const TileId& tile) const {
  const auto it = unavailable_.constFind(tile);
  return it != unavailable_.cend() && (!it->askAgainAtMs || *it->askAgainAtMs > clock_.elapsed());
}

void TileLayer::scheduleRetry() {
  std::optional<qint64> soonest;
  for (auto it = unavailable_.cbegin(); it != unavailable_.cend(); ++it)
    if (it->askAgainAtMs && !requested_.contains(it.key()) && (!soonest || *it->askAgainAtMs < *soonest))
      soonest = it->askAgainAtMs;
  if (!soonest) return retry_.stop();
  retry_.start(static_cast<int>(std::clamp<qint64>(*soonest - clock_.elapsed(), 0, 24LL * 3600 * 1000)));
}

void TileLayer::release() {
  if (source_) {
    for (const TileId& t : std::as_const(wanted_)) source_->cancel(t);
    source_->letGo();
  }
  wanted_.clear();
  requested_.clear();
  unavailable_.clear();
  visible_.clear();
  ringDroppedFor_.reset();
  retry_.stop();
  cache_.clear();
}

void TileLayer::keepOnlyVisible() {
  for (const TileId& t : cache_.keys())
    if (!visible_.contains(t)) cache_.remove(t);
  if (!visible_.isEmpty()) ringDroppedFor_ = restingBounds_;
}

void TileLayer::setMemoryCacheBytes(qint64 bytes) { cache_.setMaxCost(std::max<qint64>(bytes / 1024, 1)); }

int TileLayer::tileZoom(const MapCamera& camera) const {
  const int maxZoom = source_ ? source_->maxZoom() : 0;
  // Rounded, so that tiles are drawn between 0.71× and 1.41× their size.
  return std::clamp(static_cast<int>(std::lround(camera.zoom)), 0, std::max(maxZoom, 0));
}

void TileLayer::arrived(const TileId& tile, const QImage& image) {
  requested_.remove(tile);
  unavailable_.remove(tile);
  if (!wanted_.contains(tile)) return;
  cache_.insert(tile, new QImage(image), std::max<qsizetype>(image.sizeInBytes() / 1024, 1));
  emit changed();
}

TileLayer::Grid TileLayer::gridOf(const MapCamera& camera) const {
  Grid grid;
  grid.z = tileZoom(camera);
  const int n = 1 << grid.z;
  const QRectF view = camera.visibleWorld();
  grid.x0 = static_cast<int>(std::floor(view.left() * n));
  grid.x1 = std::max(grid.x0, static_cast<int>(std::ceil(view.right() * n)) - 1);
  grid.y0 = std::max(0, static_cast<int>(std::floor(view.top() * n)));
  grid.y1 = std::min(n - 1, static_cast<int>(std::ceil(view.bottom() * n)) - 1);
  // Visible tiles nearest the centre first: they are the ones the user waits for.
  const QPointF c = camera.centre * n;
  for (int y = grid.y0; y <= grid.y1; ++y)
    for (int x = grid.x0; x <= grid.x1 && x - grid.x0 < n; ++x)
      grid.visible.push_back({{grid.z, wrap(x, n), y}, x, std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y())});
  std::sort(grid.visible.begin(), grid.visible.end(),
            [](const Slot& a, const Slot& b) { return a.distance < b.distance; });
  return grid;
}

std::vector<TileLayer::Piece> TileLayer::update(const MapCamera& camera) { return update(camera, camera); }

std::vector<TileLayer::Piece> TileLayer::update(const MapCamera& shown, const MapCamera& wanting) {
  if (!source_) return {};
  const Grid wantedGrid = gridOf(wanting);
  want(wantedGrid);
  if (&shown == &wanting) return piecesFor(wantedGrid);
  std::vector<Piece> pieces = piecesFor(gridOf(shown));
  // The destination's tiles already in go over the way's, so that the place
  // grows out of the view as the camera closes in.
  for (Piece& piece : piecesFor(wantedGrid))
    if (!piece.image.isNull() && piece.tile.z == wantedGrid.z) pieces.push_back(std::move(piece));
  return pieces;
}

void TileLayer::want(const Grid& grid) {
  const int z = grid.z;
  const int n = 1 << z;
  QSet<TileId> wanted;
  std::vector<TileId> order;
  order.reserve(grid.visible.size() + 2 * static_cast<std::size_t>(grid.x1 - grid.x0 + grid.y1 - grid.y0) + 8);
  for (const Slot& s : grid.visible) order.push_back(s.id);
  for (int y = grid.y0 - 1; y <= grid.y1 + 1; ++y)
    for (int x = grid.x0 - 1; x <= grid.x1 + 1; ++x)
      if (y >= 0 && y < n && (y < grid.y0 || y > grid.y1 || x < grid.x0 || x > grid.x1))
        order.push_back({z, wrap(x, n), y});
  visible_.clear();
  for (const Slot& s : grid.visible) visible_.insert(s.id);
  restingBounds_ = boundsOf(grid);
  // Still where it rested, the view needs no ring: it is neither wanted nor asked for.
  const bool ringDropped = ringDroppedFor_ == restingBounds_;
  if (!ringDropped) ringDroppedFor_.reset();
  for (std::size_t i = 0; i < order.size() && !(ringDropped && i >= grid.visible.size()); ++i) wanted.insert(order[i]);

  for (const TileId& t : std::as_const(wanted_)) {
    if (!wanted.contains(t)) {
      source_->cancel(t);
      requested_.remove(t);
      unavailable_.remove(t);
    }
  }
  wanted_ = std::move(wanted);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const TileId& t = order[i];
    if (ringDropped && i >= grid.visible.size()) break;
    if (cache_.contains(t) || waitingToRetry(t) || requested_.contains(t)) continue;
    requested_.insert(t);
    source_->request(t);
  }
  // Also when the timer came a little early and nothing was due yet.
  if (!unavailable_.isEmpty()) scheduleRetry();
}

std::vector<TileLayer::Piece> TileLayer::piecesFor(const Grid& grid) const {
  std::vector<Piece> pieces;
  pieces.reserve(grid.visible.size());
  const double size = 1.0 / (1 << grid.z);
  for (const Slot& s : grid.visible) {
    Piece piece;
    piece.world = QRectF(s.column * size, s.id.y * size, size, size);
    TileId look = s.id;
    QRectF part(0, 0, 1, 1);  // fraction of `look` covered by the slot
    for (int up = 0; up <= kAncestorLevels && look.z >= 0; ++up) {
      if (const QImage* image = cache_.object(look)) {
        piece.image = *image;
        piece.tile = look;
        piece.sourceRect = QRectF(part.x() * image->width(), part.y() * image->height(), part.width() * image->width(),
                                  part.height() * image->height());
        break;
      }
      if (look.z == 0) break;
      part = QRectF((part.x() + (look.x & 1)) / 2.0, (part.y() + (look.y & 1)) / 2.0, part.width() / 2.0,
                    part.height() / 2.0);
      look = look.parent();
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

}  // namespace kavrano
