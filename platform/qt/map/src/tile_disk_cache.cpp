#include "kavrano/qt_map/tile_disk_cache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QSaveFile>
#include <QtConcurrent>
#include <algorithm>
#include <vector>

namespace kavrano {

namespace {
constexpr quint32 kMagic = 0x4b54494c;  // "KTIL"
constexpr qint32 kVersion = 1;
// A tile larger than this is not a tile: refuse to cache it.
constexpr qint64 kMaxEntryBytes = 8LL * 1024 * 1024;
// Titles and places are private, and so is where the user looked at the map.
constexpr QFileDevice::Permissions kPrivateDirectory =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

void makePrivateDirectory(const QString& path) {
  QDir().mkpath(path);
  QFile::setPermissions(path, kPrivateDirectory);
}

/// The body of an insertion in the making. Past the entry cap it lets its bytes
/// go and takes no more: a server that streams without end must not fill memory
/// before the transfer is given up.
class CappedBuffer : public QIODevice {
 public:
  [[nodiscard]] bool overflowed() const { return overflowed_; }
  [[nodiscard]] const QByteArray& data() const { return data_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* bytes, qint64 size) override {
    if (overflowed_ || data_.size() + size > kMaxEntryBytes) {
      overflowed_ = true;
      data_ = QByteArray();
      return -1;
    }
    data_.append(bytes, size);
    return size;
  }

 private:
  QByteArray data_;
  bool overflowed_ = false;
};

// Down to `goal` bytes, oldest modification time first; returns the bytes left.
qint64 removeLeastRecentlyUsed(const QString& directory, qint64 goal) {
  struct File {
    QString path;
    QDateTime used;
    qint64 size;
  };
  std::vector<File> files;
  qint64 total = 0;
  QDirIterator it(directory, {QStringLiteral("*.tile")}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    const QFileInfo info = it.fileInfo();
    files.push_back({info.filePath(), info.lastModified(), info.size()});
    total += info.size();
  }
  std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.used < b.used; });
  for (const File& f : files) {
    if (total <= goal) break;
    if (QFile::remove(f.path)) total -= f.size;
  }
  return total;
}

}  // namespace

struct TileDiskCache::Entry {
  QNetworkCacheMetaData metaData;
  QByteArray body;
};

TileDiskCache::TileDiskCache(QString directory, qint64 maximumBytes, QObject* parent)
    : QAbstractNetworkCache(parent), directory_(std::move(directory)), maximum_(maximumBytes) {
  makePrivateDirectory(directory_);
}

// A full cache is thousands of files, a walk of 150 ms of a core: not for
// start-up, where it slowed the first frame by as much even on another thread.
// The size matters only once something is written, so the first write starts
// the walk; until it ends the size counts what this run wrote, and nothing
// expires.
void TileDiskCache::startSizing() {
  if (sizing_ != Sizing::NotStarted) return;
  sizing_ = Sizing::Walking;
  using Sizes = std::vector<std::pair<QString, qint64>>;
  auto* watcher = new QFutureWatcher<Sizes>(this);
  connect(watcher, &QFutureWatcher<Sizes>::finished, this, [this, watcher] {
    watcher->deleteLater();
    // Files written meanwhile are counted already, whether the walk saw them or not.
    for (const auto& [path, bytes] : watcher->result())
      if (!writtenWhileSizing_.contains(path)) size_ += bytes;
    writtenWhileSizing_.clear();
    sizing_ = Sizing::Done;
    if (size_ > maximum_) expire();
  });
  watcher->setFuture(QtConcurrent::run([directory = directory_] {
    Sizes sizes;
    QDirIterator it(directory, {QStringLiteral("*.tile")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      it.next();
      sizes.emplace_back(it.filePath(), it.fileInfo().size());
    }
    return sizes;
  }));
}

TileDiskCache::~TileDiskCache() { qDeleteAll(preparing_.keyBegin(), preparing_.keyEnd()); }

QString TileDiskCache::defaultDirectory() {
  QString base = qEnvironmentVariable("XDG_CACHE_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.cache");
  return base + QStringLiteral("/kavrano/tiles");
}

QString TileDiskCache::fileFor(const QUrl& url) const {
  const QByteArray hash = QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Sha1).toHex();
  return directory_ + QLatin1Char('/') + QString::fromLatin1(hash.left(2)) + QLatin1Char('/') +
         QString::fromLatin1(hash) + QStringLiteral(".tile");
}

bool TileDiskCache::read(const QString& file, Entry& entry) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxEntryBytes) return false;
  QDataStream in(&f);
  quint32 magic = 0;
  qint32 version = 0;
  in >> magic >> version;
  if (magic != kMagic || version != kVersion) return false;
  in >> entry.metaData >> entry.body;
  return in.status() == QDataStream::Ok && entry.metaData.isValid();
}

bool TileDiskCache::write(const QString& file, const Entry& entry) {
  lastRead_ = {};
  if (auto it = loaded_.find(entry.metaData.url()); it != loaded_.end() && it->ready)
    it->entry = std::make_shared<const Entry>(entry);
  makePrivateDirectory(QFileInfo(file).path());
  const qint64 before = QFileInfo(file).exists() ? QFileInfo(file).size() : 0;
  QSaveFile f(file);
  if (!f.open(QIODevice::WriteOnly)) return false;
  QDataStream out(&f);
  out << kMagic << kVersion << entry.metaData << entry.body;
  if (out.status() != QDataStream::Ok || !f.commit()) return false;
  QFile::setPermissions(file, kPrivateFile);
  startSizing();
  if (sizing_ == Sizing::Walking) writtenWhileSizing_.insert(file);
  size_ += QFileInfo(file).size() - before;
  return true;
}

void TileDiskCache::load(const QUrl& url, QObject* context, std::function<void()> done) {
  Loaded& loaded = loaded_[url];
  ++loaded.holds;
  if (loaded.ready) return done();
  loaded.waiting.emplace_back(context, std::move(done));
  if (loaded.waiting.size() > 1) return;  // its read is under way
  struct Read {
    std::shared_ptr<const Entry> entry;
    bool unreadable = false;  // a file there, but not one of ours
  };
  auto* watcher = new QFutureWatcher<Read>(this);
  connect(watcher, &QFutureWatcher<Read>::finished, this, [this, watcher, url] {
    watcher->deleteLater();
    const auto it = loaded_.find(url);
    if (it == loaded_.end()) return;
    const Read read = watcher->result();
    it->ready = true;
    it->entry = read.entry;
    const auto waiting = std::move(it->waiting);
    if (it->holds <= 0) loaded_.erase(it);
    if (read.unreadable) remove(url);  // a cache may drop what it cannot read
    for (const auto& [context, done] : waiting)
      if (context) done();
  });
  watcher->setFuture(QtConcurrent::run([file = fileFor(url)] {
    Read read;
    if (!QFileInfo::exists(file)) return read;
    auto entry = std::make_shared<Entry>();
    if (!TileDiskCache::read(file, *entry)) {
      read.unreadable = true;
      return read;
    }
    read.entry = std::move(entry);
    // The file's time is its place in the least-recently-used order.
    QFile touch(file);
    if (touch.open(QIODevice::ReadWrite))
      touch.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    return read;
  }));
}

void TileDiskCache::release(const QUrl& url) {
  const auto it = loaded_.find(url);
  if (it == loaded_.end()) return;
  // A read under way ends what it started; its answer is dropped then.
  if (--it->holds <= 0 && it->ready) loaded_.erase(it);
}

const std::shared_ptr<const TileDiskCache::Entry>* TileDiskCache::loadedEntry(const QUrl& url) const {
  const auto it = loaded_.constFind(url);
  return it != loaded_.cend() && it->ready ? &it->entry : nullptr;
}

QNetworkCacheMetaData TileDiskCache::metaData(const QUrl& url) {
  if (const auto* loaded = loadedEntry(url)) return *loaded ? (*loaded)->metaData : QNetworkCacheMetaData();
  const QString file = fileFor(url);
  if (!QFileInfo::exists(file)) return {};
  // Qt asks for the body right after the metadata of a hit: one read serves both.
  lastRead_ = {url, std::make_shared<Entry>()};
  if (!read(file, *lastRead_.second)) {
    lastRead_ = {};
    remove(url);  // unreadable: a cache may drop it
    return {};
  }
  return lastRead_.second->metaData;
}

void TileDiskCache::updateMetaData(const QNetworkCacheMetaData& metaData) {
  Entry e;
  const QString file = fileFor(metaData.url());
  if (const auto* loaded = loadedEntry(metaData.url())) {
    if (!*loaded) return;
    e = **loaded;
  } else if (!read(file, e)) {
    return;
  }
  e.metaData = metaData;
  write(file, e);
}

namespace {
QIODevice* bodyDevice(const QByteArray& body) {
  auto* buffer = new QBuffer;
  buffer->setData(body);
  buffer->open(QIODevice::ReadOnly);
  return buffer;
}
}  // namespace

QIODevice* TileDiskCache::data(const QUrl& url) {
  if (const auto* loaded = loadedEntry(url)) return *loaded ? bodyDevice((*loaded)->body) : nullptr;
  const QString file = fileFor(url);
  const auto last = std::exchange(lastRead_, {});
  std::shared_ptr<Entry> e = last.first == url ? last.second : nullptr;
  if (!e) {
    e = std::make_shared<Entry>();
    if (!read(file, *e)) return nullptr;
  }
  // The file's time is its place in the least-recently-used order; setting it
  // is a write, done beside the UI.
  (void)QtConcurrent::run([file] {
    QFile touch(file);
    if (touch.open(QIODevice::ReadWrite))
      touch.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
  });
  return bodyDevice(e->body);
}

bool TileDiskCache::remove(const QUrl& url) {
  if (lastRead_.first == url) lastRead_ = {};
  if (auto it = loaded_.find(url); it != loaded_.end() && it->ready) it->entry = nullptr;
  // Qt cancels an insertion (an aborted or failed transfer) by removing its URL.
  for (auto it = preparing_.begin(); it != preparing_.end(); ++it) {
    if (it.value().url() == url) {
      delete it.key();
      preparing_.erase(it);
      return true;
    }
  }
  const QString file = fileFor(url);
  const qint64 bytes = QFileInfo(file).size();
  if (!QFile::remove(file)) return false;
  size_ -= bytes;
  return true;
}

QIODevice* TileDiskCache::prepare(const QNetworkCacheMetaData& metaData) {
  if (!metaData.isValid() || !metaData.saveToDisk()) return nullptr;
  for (const auto& [name, value] : metaData.rawHeaders())
    if (name.compare("content-length", Qt::CaseInsensitive) == 0 && value.trimmed().toLongLong() > kMaxEntryBytes)
      return nullptr;
  auto* buffer = new CappedBuffer;
  buffer->open(QIODevice::WriteOnly);
  preparing_.insert(buffer, metaData);
  return buffer;
}

void TileDiskCache::insert(QIODevice* device) {
  auto it = preparing_.find(device);
  if (it == preparing_.end()) return;
  auto* buffer = static_cast<CappedBuffer*>(device);
  Entry e{it.value(), buffer->data()};
  const bool overflowed = buffer->overflowed();
  preparing_.erase(it);
  delete device;
  if (overflowed) return;
  write(fileFor(e.metaData.url()), e);
  if (size_ > maximum_) expire();
}

void TileDiskCache::clear() {
  lastRead_ = {};
  for (Loaded& loaded : loaded_)
    if (loaded.ready) loaded.entry = nullptr;
  QDir(directory_).removeRecursively();
  makePrivateDirectory(directory_);
  size_ = 0;
}

void TileDiskCache::expire() {
  // Walking thousands of files is too slow for the GUI thread, where the
  // network manager calls us: it runs on the pool, one walk at a time.
  if (expiring_ || sizing_ != Sizing::Done) return;
  expiring_ = true;
  const qint64 sizeAtStart = size_;
  auto* watcher = new QFutureWatcher<qint64>(this);
  connect(watcher, &QFutureWatcher<qint64>::finished, this, [this, watcher, sizeAtStart] {
    watcher->deleteLater();
    size_ = watcher->result() + std::max<qint64>(size_ - sizeAtStart, 0);
    expiring_ = false;
  });
  watcher->setFuture(QtConcurrent::run(
      [directory = directory_, goal = maximum_ * 9 / 10] { return removeLeastRecentlyUsed(directory, goal); }));
}

}  // namespace kavrano
