#include "kavrano/qt_map/network_tile_source.h"

#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QtConcurrent>

#include "kavrano/qt_map/tile_disk_cache.h"

#ifndef KAVRANO_VERSION
#define KAVRANO_VERSION "0"
#endif

namespace kavrano {

namespace {
constexpr const char* kOversized = "kavranoOversized";
}  // namespace

NetworkTileSource::NetworkTileSource(TileUrlTemplate urlTemplate, Options options, QNetworkAccessManager* network,
                                     QObject* parent)
    : TileSource(parent),
      template_(std::move(urlTemplate)),
      options_(std::move(options)),
      network_(network),
      cache_(network ? qobject_cast<TileDiskCache*>(network->cache()) : nullptr) {}

NetworkTileSource::~NetworkTileSource() {
  for (auto it = running_.cbegin(); it != running_.cend(); ++it) {
    if (cache_) cache_->release(template_.url(it.key()));
    QNetworkReply* reply = it->reply.data();
    if (!reply) continue;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
  }
}

QByteArray NetworkTileSource::userAgent() { return QByteArrayLiteral("Kavrano/" KAVRANO_VERSION); }

void NetworkTileSource::request(const TileId& tile) {
  if (!tile.valid() || wanted_.contains(tile)) return;
  wanted_.insert(tile);
  if (!template_.isValid()) {
    QTimer::singleShot(0, this, [this, tile] {
      if (wanted_.remove(tile)) emit tileUnavailable(tile);
    });
    return;
  }
  waiting_.append(tile);
  schedulePump();
}

// A view asks for its tiles while it lays out a frame; they are sent together
// once that frame is out, so neither waits for the other.
void NetworkTileSource::schedulePump() {
  if (pumpScheduled_) return;
  pumpScheduled_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        pumpScheduled_ = false;
        pump();
      },
      Qt::QueuedConnection);
}

void NetworkTileSource::cancel(const TileId& tile) {
  if (!wanted_.remove(tile)) return;
  waiting_.removeOne(tile);
  attempts_.remove(tile);
  if (running_.contains(tile)) {
    const Running running = running_.take(tile);
    forget(running, tile);
    if (QNetworkReply* reply = running.reply.data()) {
      reply->disconnect(this);
      reply->abort();
      reply->deleteLater();
    }
    pump();
  }
}

void NetworkTileSource::forget(const Running& running, const TileId& tile) {
  if (--perHost_[running.host] <= 0) perHost_.remove(running.host);
  if (cache_) cache_->release(template_.url(tile));
}

void NetworkTileSource::pump() {
  for (qsizetype i = 0; i < waiting_.size();) {
    const TileId tile = waiting_.at(i);
    if (perHost_.value(template_.url(tile).host()) >= options_.maxPerHost) {
      ++i;
      continue;
    }
    waiting_.removeAt(i);
    start(tile);
  }
}

// A tile counts against its host from here, while its cache entry is read:
// the reads of a full view then go in the order the view asked.
void NetworkTileSource::start(const TileId& tile) {
  const QUrl url = template_.url(tile);
  const quint64 serial = ++serial_;
  ++perHost_[url.host()];
  running_.insert(tile, {nullptr, url.host(), serial});
  attempts_[tile] += 1;
  if (!cache_) return send(tile);
  // The manager reads its cache on this thread, and a file may take its time
  // (a slow disk, a network home): the entry is read beside it first.
  cache_->load(url, this, [this, tile, serial] {
    const auto it = running_.constFind(tile);
    if (it != running_.cend() && it->serial == serial && !it->reply) send(tile);
  });
}

void NetworkTileSource::send(const TileId& tile) {
  QNetworkRequest request(template_.url(tile));
  request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
  // Images are compressed already. Qt inflates a gzip body in one piece on this
  // thread before any cap can see it; asking for none keeps a bomb 256 KB of
  // undecodable bytes.
  request.setRawHeader("Accept-Encoding", "identity");
  // http to http or https, https to https only: never a file or another scheme.
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  QNetworkReply* reply = network_->get(request);
  running_[tile].reply = reply;
  // A stalled transfer is given up after the timeout without a byte. Qt's own
  // transfer timeout reports a failed connection twice (Qt 6.4), with a warning.
  auto* stall = new QTimer(reply);
  stall->setSingleShot(true);
  stall->callOnTimeout(reply, &QNetworkReply::abort);
  stall->start(options_.timeoutMs);
  // A body trickling a byte at a time never stalls: it meets the deadline instead.
  QTimer::singleShot(options_.deadlineMs, reply, &QNetworkReply::abort);
  // A body announced or arriving over the cap is given up before it is read.
  connect(reply, &QNetworkReply::downloadProgress, this, [reply, stall](qint64 received, qint64 total) {
    if (received > kMaxBodyBytes || total > kMaxBodyBytes) {
      reply->setProperty(kOversized, true);
      reply->abort();
    }
    stall->start();
  });
  connect(reply, &QNetworkReply::finished, this, [this, tile, reply] { finished(tile, reply); });
}

void NetworkTileSource::finished(const TileId& tile, QNetworkReply* reply) {
  reply->deleteLater();
  if (running_.value(tile).reply != reply) return;
  forget(running_.take(tile), tile);
  pump();

  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
    if (status == 0) watchReachability();
    // A body over the cap or a redirect loop is no passing fault: asking again
    // would fetch it again.
    const bool refused = reply->property(kOversized).toBool() ||
                         reply->error() == QNetworkReply::TooManyRedirectsError ||
                         reply->error() == QNetworkReply::InsecureRedirectError;
    const bool clientError = (status >= 400 && status < 500 && status != 408 && status != 429) || refused;
    if (!clientError && attempts_.value(tile) < options_.maxAttempts) {
      retryLater(tile);
    } else {
      wanted_.remove(tile);
      attempts_.remove(tile);
      emit tileUnavailable(tile);
    }
    return;
  }
  attempts_.remove(tile);
  const QByteArray body = reply->read(kMaxBodyBytes + 1);
  auto* watcher = new QFutureWatcher<QImage>(this);
  connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, tile] {
    watcher->deleteLater();
    if (!wanted_.remove(tile)) return;  // cancelled while decoding
    const QImage image = watcher->result();
    if (image.isNull())
      emit tileUnavailable(tile);
    else
      emit tileReady(tile, image);
  });
  watcher->setFuture(
      QtConcurrent::run([body] { return body.size() > kMaxBodyBytes ? QImage() : decodeTileImage(body); }));
}

std::optional<std::chrono::milliseconds> NetworkTileSource::retryDelay(int failures) const {
  const qint64 delay = qint64{options_.firstUnavailableRetryMs} << std::clamp(failures - 1, 0, 20);
  return std::chrono::milliseconds(std::min<qint64>(delay, options_.longestUnavailableRetryMs));
}

// Made at the first transfer that failed without an answer, not at start: the
// system's watch is a plugin and talks to the system.
void NetworkTileSource::watchReachability() {
  if (watchingReachability_ || !options_.reachability) return;
  watchingReachability_ = true;
  reachability_ = options_.reachability();
  if (reachability_) connect(reachability_.get(), &NetworkReachability::online, this, &TileSource::reachable);
}

void NetworkTileSource::retryLater(const TileId& tile) {
  const int attempt = attempts_.value(tile);
  const int delay = options_.firstRetryDelayMs << std::min(attempt - 1, 6);
  QTimer::singleShot(delay, this, [this, tile] {
    if (!wanted_.contains(tile) || running_.contains(tile) || waiting_.contains(tile)) return;
    waiting_.append(tile);
    pump();
  });
}

}  // namespace kavrano
