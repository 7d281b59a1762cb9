#include "local_http_server.h"

#include <zlib.h>

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <algorithm>

namespace {

// Deflate at its best packs about a thousand zeros into a byte.
QByteArray gzipOfZeros(qint64 bytes) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);  // +16: the gzip wrapper
  static const QByteArray zeros(1 << 20, '\0');
  QByteArray out;
  char chunk[1 << 16];
  for (qint64 left = bytes; left > 0 || z.avail_in > 0;) {
    if (z.avail_in == 0) {
      const qint64 n = std::min<qint64>(zeros.size(), left);
      left -= n;
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    deflate(&z, Z_NO_FLUSH);
    out.append(chunk, static_cast<qsizetype>(sizeof chunk - z.avail_out));
  }
  int state = Z_OK;
  while (state != Z_STREAM_END) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    state = deflate(&z, Z_FINISH);
    out.append(chunk, static_cast<qsizetype>(sizeof chunk - z.avail_out));
  }
  deflateEnd(&z);
  return out;
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
  QByteArray out(4, '\0');
  qToBigEndian<quint32>(static_cast<quint32>(data.size()), out.data());
  const QByteArray typed = QByteArray(type) + data;
  QByteArray crc(4, '\0');
  qToBigEndian<quint32>(static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()),
                                                   static_cast<uInt>(typed.size()))),
                        crc.data());
  return out + typed + crc;
}

// A PNG whose header claims 100,000 × 100,000 RGBA pixels (40 GB decoded).
QByteArray pixelBomb() {
  QByteArray header(13, '\0');
  qToBigEndian<quint32>(100'000, header.data());
  qToBigEndian<quint32>(100'000, header.data() + 4);
  header[8] = 8;                                                                     // bits per sample
  header[9] = 6;                                                                     // RGBA
  const QByteArray rows = qCompress(QByteArray(qsizetype{64} * 1024, '\0')).mid(4);  // zlib stream without Qt's length
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", rows) + pngChunk("IEND", {});
}

QByteArray nextHop(const QByteArray& path) { return path + (path.contains('?') ? "&hop" : "?hop"); }

}  // namespace

const char* LocalHttpServer::name(Hostile mode) {
  static constexpr const char* kNames[] = {"oversized body with length",
                                           "oversized body without length",
                                           "endless slow body",
                                           "redirect loop",
                                           "redirect chain",
                                           "gzip bomb",
                                           "pixel bomb",
                                           "wrong type",
                                           "lying length",
                                           "5xx"};
  static_assert(std::size(kNames) == std::size(kEveryHostile));
  return kNames[static_cast<int>(mode)];
}

LocalHttpServer::Response LocalHttpServer::hostile(Hostile mode, const Request& request) {
  constexpr qint64 kFifty = 50LL * 1000 * 1000;
  switch (mode) {
    case Hostile::OversizedWithLength:
      return {.extraBytes = kFifty};
    case Hostile::OversizedWithoutLength:
      return {.extraBytes = kFifty, .sendLength = false};
    case Hostile::EndlessSlowBody:
      return {.headers = {{"Content-Type", "image/png"}},
              .body = QByteArray("\x89PNG\r\n\x1a\n", 8),
              .extraBytes = -1,
              .chunkBytes = 1,
              .intervalMs = 50,
              .sendLength = false};
    case Hostile::RedirectLoop:
      return {.status = 302, .headers = {{"Location", request.path}}};
    case Hostile::RedirectChain:
      if (request.path.count("hop") < 20) return {.status = 302, .headers = {{"Location", nextHop(request.path)}}};
      return {.body = "the end of the chain"};
    case Hostile::GzipBomb: {
      static const QByteArray bomb = gzipOfZeros(256LL << 20);
      return {.headers = {{"Content-Encoding", "gzip"}, {"Content-Type", "image/png"}}, .body = bomb};
    }
    case Hostile::PixelBomb: {
      static const QByteArray bomb = pixelBomb();
      return {.headers = {{"Content-Type", "image/png"}}, .body = bomb};
    }
    case Hostile::WrongType:
      return {.headers = {{"Content-Type", "text/html"}},
              .body = "<html><body><img src='/tracker'><b>not what you asked for</b></body></html>"};
    case Hostile::LyingLength:
      return {.extraBytes = 30LL * 1000 * 1000, .sendLength = false, .declaredLength = 1000};
    case Hostile::ServerError:
      return {.status = 503, .body = "busy"};
  }
  return {.status = 404};
}

LocalHttpServer::LocalHttpServer(Handler handler, QObject* parent, const QHostAddress& address)
    : QObject(parent), address_(address), handler_(std::move(handler)) {
  server_.listen(address_, 0);
  port_ = server_.serverPort();
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
      connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
      connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        buffers_.remove(socket);
        streams_.remove(socket);
        socket->deleteLater();
      });
    }
  });
}

LocalHttpServer::~LocalHttpServer() {
  // Sockets die with the server member, after our own members: silence them first.
  for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) socket->disconnect(this);
}

QByteArray LocalHttpServer::baseUrl() const {
  return "http://" + address_.toString().toLatin1() + ":" + QByteArray::number(port_);
}

void LocalHttpServer::goAway() {
  server_.close();
  for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) socket->abort();
}

bool LocalHttpServer::listenAgain() { return server_.listen(address_, port_); }

void LocalHttpServer::readFrom(QTcpSocket* socket) {
  QByteArray& buffer = buffers_[socket];
  buffer += socket->readAll();
  qsizetype end;
  while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.remove(0, end + 4);
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const qsizetype colon = lines[i].indexOf(':');
      if (colon > 0)
        request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    requests << request;
    ++waiting_;
    maxWaiting = std::max(maxWaiting, waiting_);
    const Response response = handler_ ? handler_(request) : Response{404, {}, {}};
    if (response.stall) continue;
    if (response.delayMs > 0) {
      QTimer::singleShot(response.delayMs, this, [this, socket = QPointer<QTcpSocket>(socket), response] {
        if (socket)
          answer(socket, response);
        else
          --waiting_;
      });
    } else {
      answer(socket, response);
    }
  }
}

void LocalHttpServer::answer(QTcpSocket* socket, const Response& r) {
  --waiting_;
  QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\n";
  const qint64 length = r.declaredLength >= 0 ? r.declaredLength : r.body.size() + std::max<qint64>(r.extraBytes, 0);
  if (r.sendLength || r.declaredLength >= 0) head += "Content-Length: " + QByteArray::number(length) + "\r\n";
  if (!r.sendLength) head += "Connection: close\r\n";
  for (const auto& [name, value] : r.headers) head += name + ": " + value + "\r\n";
  socket->write(head + "\r\n" + r.body);
  if (r.extraBytes == 0) {
    if (!r.sendLength) socket->disconnectFromHost();
    return;
  }
  streams_.insert(socket, {r.extraBytes, r.chunkBytes, !r.sendLength});
  if (r.intervalMs <= 0) return feed(socket);
  auto* drip = new QTimer(socket);
  connect(drip, &QTimer::timeout, this, [this, socket] {
    auto it = streams_.find(socket);
    if (it == streams_.end()) return;
    it->left = it->left < 0 ? -1 : it->left - 1;
    socket->write(QByteArray(it->chunkBytes, 'x'));
  });
  drip->start(r.intervalMs);
  streams_[socket].chunkBytes = 0;  // the timer writes; `feed` must not
}

// Writes filler as fast as the client takes it, never holding more than a few
// chunks: the server's own memory must not grow with what it sends.
void LocalHttpServer::feed(QTcpSocket* socket) {
  auto it = streams_.find(socket);
  if (it == streams_.end() || it->chunkBytes == 0) return;
  static const QByteArray filler(qsizetype{64} * 1024, 'x');
  while (it->left != 0 && socket->bytesToWrite() < 4 * filler.size()) {
    const qint64 n = it->left < 0 ? filler.size() : std::min<qint64>(filler.size(), it->left);
    socket->write(filler.constData(), n);
    if (it->left > 0) it->left -= n;
  }
  if (it->left == 0) {
    const bool close = it->closeAtEnd;
    streams_.erase(it);
    if (close) socket->disconnectFromHost();
  }
}
