#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <functional>

/// A small HTTP/1.1 server on a loopback address for network tests (tiles,
/// geocoder): GET only, keep-alive, one handler deciding every answer (none:
/// 404). It records what it was asked and how many requests were waiting for an
/// answer at once. `hostile()` makes the answers of a server that means harm.
class LocalHttpServer : public QObject {
  Q_OBJECT
 public:
  struct Request {
    QByteArray path;                        // with the query: "/api?q=bern"
    QHash<QByteArray, QByteArray> headers;  // names in lower case
    [[nodiscard]] QUrl url() const { return QUrl(QString::fromLatin1(path)); }
  };
  struct Response {
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers{};
    QByteArray body{};
    int delayMs = 0;     // answer later, to let requests pile up
    bool stall = false;  // never answer
    // After `body`, this many filler bytes more (-1: without end), written as
    // the client takes them, or one chunk every `intervalMs` when that is set.
    qint64 extraBytes = 0;
    int chunkBytes = 64 * 1024;
    int intervalMs = 0;
    bool sendLength = true;      // false: no length, the connection closes after the body
    qint64 declaredLength = -1;  // a Content-Length other than the true one
  };
  using Handler = std::function<Response(const Request&)>;

  /// What a hostile server can do to a client.
  enum class Hostile {
    OversizedWithLength,     // 50 MB, announced
    OversizedWithoutLength,  // 50 MB, ended by closing the connection
    EndlessSlowBody,         // a valid start, then a byte every 50 ms for ever
    RedirectLoop,            // to itself
    RedirectChain,           // 20 redirects before an answer
    GzipBomb,                // 256 KB of gzip that inflates to 256 MB
    PixelBomb,               // a valid PNG header of 100,000 × 100,000 pixels
    WrongType,               // an HTML page where an image or JSON belongs
    LyingLength,             // announces 1 KB, sends 30 MB
    ServerError,             // 503
  };
  static constexpr Hostile kEveryHostile[] = {Hostile::OversizedWithLength, Hostile::OversizedWithoutLength,
                                              Hostile::EndlessSlowBody,     Hostile::RedirectLoop,
                                              Hostile::RedirectChain,       Hostile::GzipBomb,
                                              Hostile::PixelBomb,           Hostile::WrongType,
                                              Hostile::LyingLength,         Hostile::ServerError};
  [[nodiscard]] static const char* name(Hostile mode);
  /// The hostile answer to `request` (redirects lead to the same server).
  [[nodiscard]] static Response hostile(Hostile mode, const Request& request);

  explicit LocalHttpServer(Handler handler = {}, QObject* parent = nullptr,
                           const QHostAddress& address = QHostAddress::LocalHost);
  ~LocalHttpServer() override;
  void setHandler(Handler handler) { handler_ = std::move(handler); }
  [[nodiscard]] bool listening() const { return server_.isListening(); }
  [[nodiscard]] QByteArray baseUrl() const;
  /// Stops listening and drops every connection: the host is gone. `listenAgain()`
  /// comes back on the same address and port.
  void goAway();
  [[nodiscard]] bool listenAgain();

  QList<Request> requests;
  int maxWaiting = 0;

 private:
  struct Stream {
    qint64 left;  // -1: without end
    int chunkBytes;
    bool closeAtEnd;
  };
  void readFrom(QTcpSocket* socket);
  void answer(QTcpSocket* socket, const Response& response);
  void feed(QTcpSocket* socket);

  QTcpServer server_;
  QHostAddress address_;
  quint16 port_ = 0;
  Handler handler_;
  QHash<QTcpSocket*, QByteArray> buffers_;
  QHash<QTcpSocket*, Stream> streams_;
  int waiting_ = 0;
};
