#pragma once

#include <QAbstractNetworkCache>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QBuffer;

namespace kavrano {

/// The HTTP cache for tiles: one file per URL under a directory, holding the
/// server's caching headers (the network manager decides freshness and
/// revalidation from them) and the body. Above the size cap the least recently
/// used files go first: a read touches the file's modification time. The size
/// of what earlier runs left is found beside the UI thread at the first write.
///
/// The manager looks entries up on its own (the UI) thread and waits for the
/// answer; `load` reads an entry beside it beforehand, and the lookups of a URL
/// so loaded touch no file until it is released. Other URLs are read when asked.
class TileDiskCache : public QAbstractNetworkCache {
  Q_OBJECT
 public:
  TileDiskCache(QString directory, qint64 maximumBytes, QObject* parent = nullptr);
  ~TileDiskCache() override;

  /// `$XDG_CACHE_HOME/kavrano/tiles`, else `~/.cache/kavrano/tiles`.
  [[nodiscard]] static QString defaultDirectory();

  /// Reads the entry for `url` (or finds there is none) on the thread pool and
  /// keeps it until as many `release` calls; then calls `done`, on this thread,
  /// unless `context` is gone. At once when the entry is in already.
  void load(const QUrl& url, QObject* context, std::function<void()> done);
  void release(const QUrl& url);

  [[nodiscard]] QNetworkCacheMetaData metaData(const QUrl& url) override;
  void updateMetaData(const QNetworkCacheMetaData& metaData) override;
  [[nodiscard]] QIODevice* data(const QUrl& url) override;
  bool remove(const QUrl& url) override;
  [[nodiscard]] qint64 cacheSize() const override { return size_; }
  [[nodiscard]] QIODevice* prepare(const QNetworkCacheMetaData& metaData) override;
  void insert(QIODevice* device) override;

 public slots:
  void clear() override;

 private:
  struct Entry;
  [[nodiscard]] QString fileFor(const QUrl& url) const;
  [[nodiscard]] static bool read(const QString& file, Entry& entry);
  /// The loaded entry of a URL, if its read is over (null inside: no usable file).
  [[nodiscard]] const std::shared_ptr<const Entry>* loadedEntry(const QUrl& url) const;
  bool write(const QString& file, const Entry& entry);
  void expire();
  void startSizing();

  QString directory_;
  qint64 maximum_;
  qint64 size_ = 0;
  enum class Sizing { NotStarted, Walking, Done };  // of what earlier runs left
  Sizing sizing_ = Sizing::NotStarted;
  QSet<QString> writtenWhileSizing_;
  bool expiring_ = false;
  QHash<QIODevice*, QNetworkCacheMetaData> preparing_;
  std::pair<QUrl, std::shared_ptr<Entry>> lastRead_;  // by metaData(), for data()
  struct Loaded {
    std::shared_ptr<const Entry> entry;
    int holds = 0;
    bool ready = false;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> waiting;
  };
  QHash<QUrl, Loaded> loaded_;
};

}  // namespace kavrano
