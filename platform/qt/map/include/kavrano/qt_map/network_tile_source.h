#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>

#include "kavrano/qt_map/network_reachability.h"
#include "kavrano/qt_map/tile_source.h"
#include "kavrano/qt_map/tile_url_template.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace kavrano {

class TileDiskCache;

/// Tiles over HTTP from a URL template, through the manager's cache. A bounded
/// number of requests per host run at once (imagery services forbid more, and
/// the first tiles asked for are the visible ones); the rest wait in order.
/// Hosts are counted as asked, whatever a redirect leads to; a few redirects
/// are followed, to http or https only. Server errors and timeouts are retried
/// with doubling pauses; 4xx answers, bodies over the cap and undecodable
/// bodies are final. With the app's disk cache, a tile's cached entry is read
/// beside the UI thread before the manager looks it up.
class NetworkTileSource : public TileSource {
  Q_OBJECT
 public:
  struct Options {
    int maxPerHost = 6;
    int timeoutMs = 10'000;
    int maxAttempts = 3;
    int firstRetryDelayMs = 1'000;
    int maxZoom = 19;
    QString attribution;
    /// A whole transfer, however steadily it trickles, ends within this.
    int deadlineMs = 30'000;
    /// A tile still in view after its attempts is asked again after this,
    /// doubling up to the longest pause, and at once when the network is back.
    int firstUnavailableRetryMs = 5'000;
    int longestUnavailableRetryMs = 300'000;
    /// Made at the first transfer that failed without an answer.
    std::function<std::unique_ptr<NetworkReachability>()> reachability = &NetworkReachability::fromSystem;
  };

  /// Redirects followed for one tile; a chain longer than this is a loop.
  static constexpr int kMaxRedirects = 3;
  /// No tile is this large: a longer body is given up as soon as that shows.
  static constexpr qint64 kMaxBodyBytes = 4LL * 1024 * 1024;

  NetworkTileSource(TileUrlTemplate urlTemplate, Options options, QNetworkAccessManager* network,
                    QObject* parent = nullptr);
  ~NetworkTileSource() override;

  void request(const TileId& tile) override;
  void cancel(const TileId& tile) override;
  [[nodiscard]] QString attribution() const override { return options_.attribution; }
  [[nodiscard]] int maxZoom() const override { return options_.maxZoom; }
  [[nodiscard]] std::optional<std::chrono::milliseconds> retryDelay(int failures) const override;

  /// "Kavrano/<version>": servers of free imagery ask clients to name themselves.
  [[nodiscard]] static QByteArray userAgent();
  [[nodiscard]] int runningRequests() const { return static_cast<int>(running_.size()); }

 private:
  void schedulePump();
  void pump();
  void start(const TileId& tile);
  void send(const TileId& tile);
  void finished(const TileId& tile, QNetworkReply* reply);
  void retryLater(const TileId& tile);
  void watchReachability();

  TileUrlTemplate template_;
  Options options_;
  QNetworkAccessManager* network_;
  QList<TileId> waiting_;
  QSet<TileId> wanted_;
  struct Running {
    QPointer<QNetworkReply> reply;  // the manager may go first; null while the cache reads
    QString host;                   // as asked: a redirect must not move the count
    quint64 serial = 0;             // tells a cache read's answer from a cancelled request's
  };
  void forget(const Running& running, const TileId& tile);

  QHash<TileId, Running> running_;
  QHash<QString, int> perHost_;
  QHash<TileId, int> attempts_;
  QPointer<TileDiskCache> cache_;
  quint64 serial_ = 0;
  bool pumpScheduled_ = false;
  bool watchingReachability_ = false;
  std::unique_ptr<NetworkReachability> reachability_;
};

}  // namespace kavrano
