#include "kavrano/qt_map/builtin_world.h"

#include <QFutureWatcher>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QThreadPool>
#include <QtConcurrent>
#include <cmath>
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "kavrano/qt_map/map_camera.h"

namespace kavrano {

namespace {

namespace fmt = world_vectors_format;

// Close to the imagery's own ocean and vegetation, so that the change from
// imagery to colours when zooming in does not flash.
const QColor kSea(22, 42, 74);
const QColor kLand(78, 88, 62);
const QColor kCoast(236, 230, 208, 220);
const QColor kBorder(255, 255, 255, 150);
constexpr int kTile = 256;
constexpr double kMargin = 2;  // pixels: lines just outside a tile still show their width inside

// The side of a ring along the world's edge or the Mercator limit is where the
// data was cut, not coast.
bool onCut(const GridPoint& a, const GridPoint& b) {
  constexpr std::int64_t g = fmt::kGrid;
  return (a.x == b.x && (a.x == 0 || a.x == g)) || (a.y == b.y && (a.y == 0 || a.y == g));
}

// The part of a ring inside a box (Sutherland–Hodgman): filling the whole
// ring of a continent for one tile would cost a hundred thousand sides.
QPolygonF clipped(const QPolygonF& ring, const QRectF& box) {
  QPolygonF out = ring;
  for (int edge = 0; edge < 4 && !out.isEmpty(); ++edge) {
    auto inside = [&](const QPointF& p) {
      switch (edge) {
        case 0:
          return p.x() >= box.left();
        case 1:
          return p.x() <= box.right();
        case 2:
          return p.y() >= box.top();
        default:
          return p.y() <= box.bottom();
      }
    };
    auto cut = [&](const QPointF& a, const QPointF& b) {
      const bool vertical = edge < 2;
      const double at = edge == 0 ? box.left() : edge == 1 ? box.right() : edge == 2 ? box.top() : box.bottom();
      const double t = vertical ? (at - a.x()) / (b.x() - a.x()) : (at - a.y()) / (b.y() - a.y());
      return a + (b - a) * t;
    };
    const QPolygonF in = std::exchange(out, {});
    for (qsizetype i = 0; i < in.size(); ++i) {
      const QPointF& a = in[i];
      const QPointF& b = in[(i + 1) % in.size()];
      if (inside(a)) out << a;
      if (inside(a) != inside(b)) out << cut(a, b);
    }
  }
  return out;
}

}  // namespace

std::shared_ptr<const BuiltinWorld> BuiltinWorld::open(const QString& vectorsPath,
                                                       std::shared_ptr<MbtilesReader> imagery,
                                                       GazetteerIndexSource places, QString& error) {
  std::shared_ptr<BuiltinWorld> world(new BuiltinWorld);
  world->file_.setFileName(vectorsPath);
  const uchar* bytes = world->file_.open(QIODevice::ReadOnly) ? world->file_.map(0, world->file_.size()) : nullptr;
  if (bytes) {
    world->mapped_ =
        std::span(reinterpret_cast<const std::byte*>(bytes), static_cast<std::size_t>(world->file_.size()));
    world->vectors_ = WorldVectors::open(world->mapped_);
  }
  if (!world->vectors_) {
    error = QStringLiteral("the built-in world's vectors cannot be read (%1)").arg(vectorsPath);
    return nullptr;
  }
  world->imagery_ = std::move(imagery);
  world->placesSource_ = std::move(places);
  QString credit = world->imagery_ ? world->imagery_->metadata(QStringLiteral("attribution")) : QString();
  credit.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
  world->attribution_ =
      (credit.isEmpty() ? QString() : credit + QStringLiteral(" · ")) + QStringLiteral("Natural Earth · GeoNames");
  return world;
}

BuiltinWorld::~BuiltinWorld() = default;

std::shared_ptr<const GazetteerIndex> BuiltinWorld::places() const {
  std::call_once(placesOnce_, [this] {
    QThreadPool::globalInstance()->start([self = shared_from_this()] {
      auto index = self->placesSource_ ? self->placesSource_() : nullptr;
      if (index && index->size() == self->vectors_->gazetteerSize()) self->places_ = std::move(index);
      self->placesReady_.store(true, std::memory_order_release);
    });
  });
  return placesReady_.load(std::memory_order_acquire) ? places_ : nullptr;
}

// Clean pages of a file: reclaimed, never lost; a later tile reads them again
// (a painter running meanwhile only faults them back in).
void BuiltinWorld::handBackPages() const {
#if defined(__linux__) && defined(MADV_PAGEOUT)
  if (mapped_.empty()) return;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  // Mappings start on a page; madvise wants whole pages.
  const std::size_t offset = reinterpret_cast<std::uintptr_t>(mapped_.data()) % page;
  const std::size_t length = (offset + mapped_.size() + page - 1) / page * page;
  (void)madvise(const_cast<std::byte*>(mapped_.data() - offset), length, MADV_PAGEOUT);
#endif
}

QImage BuiltinWorld::imageryFor(const TileId& tile) const {
  if (!imagery_) return {};
  const int z = std::min(tile.z, imagery_->maxZoom());
  const int up = tile.z - z;
  const TileId ancestor{z, tile.x >> up, tile.y >> up};
  const auto bytes = imagery_->tile(ancestor);
  if (!bytes) return {};
  const QImage whole = decodeTileImage(*bytes);
  if (whole.isNull()) return {};
  const int part = whole.width() >> up;
  if (part < 1) return {};
  const int mask = (1 << up) - 1;
  return whole.copy((tile.x & mask) * part, (tile.y & mask) * whole.height() / (1 << up), part, whole.height() >> up)
      .scaled(kTile, kTile, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage BuiltinWorld::paintTile(const TileId& tile) const {
  QImage image(kTile, kTile, QImage::Format_RGB32);
  const QImage imagery = tile.z <= kImageryZoom ? imageryFor(tile) : QImage();
  const double scale = kTile * std::ldexp(1.0, tile.z) / fmt::kGrid;  // pixels per grid step
  const QPointF origin(tile.x * kTile, tile.y * kTile);
  auto toTile = [&](const GridPoint& p) { return QPointF(p.x * scale, p.y * scale) - origin; };
  const GridBox box{static_cast<std::int64_t>((origin.x() - kMargin) / scale),
                    static_cast<std::int64_t>((origin.y() - kMargin) / scale),
                    static_cast<std::int64_t>(std::ceil((origin.x() + kTile + kMargin) / scale)),
                    static_cast<std::int64_t>(std::ceil((origin.y() + kTile + kMargin) / scale))};
  const QRectF pixels(-kMargin, -kMargin, kTile + 2 * kMargin, kTile + 2 * kMargin);

  QPainterPath land, coast, borders;
  land.setFillRule(Qt::OddEvenFill);
  std::vector<GridPoint> points;
  const std::size_t level = vectors_->levelFor(tile.z);
  for (std::size_t i = 0; i < vectors_->shapeCount(level); ++i) {
    const WorldVectors::Shape shape = vectors_->shape(level, i);
    if (!shape.box.intersects(box)) continue;
    points.clear();
    if (!WorldVectors::points(shape, points)) continue;
    const bool ring = shape.kind == WorldVectors::ShapeKind::Land;
    QPainterPath& lines = ring ? coast : borders;
    bool drawing = false;
    for (std::size_t k = 1; k < points.size(); ++k) {
      const GridPoint &a = points[k - 1], &b = points[k];
      const bool shows = !(ring && onCut(a, b)) && std::max(a.x, b.x) >= box.left && std::min(a.x, b.x) <= box.right &&
                         std::max(a.y, b.y) >= box.top && std::min(a.y, b.y) <= box.bottom;
      if (!shows) {
        drawing = false;
        continue;
      }
      if (!drawing) lines.moveTo(toTile(a));
      lines.lineTo(toTile(b));
      drawing = true;
    }
    if (ring && imagery.isNull()) {
      QPolygonF polygon;
      polygon.reserve(static_cast<qsizetype>(points.size()));
      for (const GridPoint& p : points) polygon << toTile(p);
      if (const QPolygonF part = clipped(polygon, pixels); part.size() >= 3) land.addPolygon(part);
    }
  }

  QPainter painter(&image);
  if (imagery.isNull()) {
    painter.fillRect(image.rect(), kSea);
    painter.fillPath(land, kLand);
  } else {
    painter.drawImage(image.rect(), imagery);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.strokePath(borders, QPen(kBorder, 1.0, Qt::DashLine));
  painter.strokePath(coast, QPen(kCoast, 1.0));
  return image;
}

BuiltinWorldTileSource::BuiltinWorldTileSource(std::shared_ptr<const BuiltinWorld> world, QObject* parent)
    : TileSource(parent), world_(std::move(world)) {
  painter_.setMaxThreadCount(1);
}

int BuiltinWorldTileSource::maxZoom() const { return static_cast<int>(MapCamera::kMaxZoom); }

void BuiltinWorldTileSource::request(const TileId& tile) {
  if (wanted_.contains(tile)) return;
  wanted_.insert(tile);
  auto* watcher = new QFutureWatcher<QImage>(this);
  connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, tile] {
    watcher->deleteLater();
    if (wanted_.remove(tile)) emit tileReady(tile, watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(&painter_, [world = world_, tile] { return world->paintTile(tile); }));
}

}  // namespace kavrano
