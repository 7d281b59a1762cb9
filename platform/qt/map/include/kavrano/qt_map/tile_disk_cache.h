#pragma once

#include <QAbstractNetworkCache>
#include <QHash>
#include <QSet>
#include <QString>
#include <QUrl>
#include <memory>
#include <utility>

class QBuffer;

namespace kavrano {

/// The HTTP cache for tiles: one file per URL under a directory, holding the
/// server's caching headers (the network manager decides freshness and
/// revalidation from them) and the body. Above the size cap the least recently
/// used files go first: a read touches the file's modification time. The size
/// of what earlier runs left is found beside the UI thread at the first write.
class TileDiskCache : public QAbstractNetworkCache {
  Q_OBJECT
 public:
  TileDiskCache(QString directory, qint64 maximumBytes, QObject* parent = nullptr);
  ~TileDiskCache() override;

  /// `$XDG_CACHE_HOME/kavrano/tiles`, else `~/.cache/kavrano/tiles`.
  [[nodiscard]] static QString defaultDirectory();

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
  [[nodiscard]] bool read(const QString& file, Entry& entry) const;
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
};

}  // namespace kavrano
