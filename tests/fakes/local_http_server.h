#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <functional>

/// A small HTTP/1.1 server on 127.0.0.1 for network tests (tiles, geocoder): GET
/// only, keep-alive, one handler deciding every answer (none: 404). It records
/// what it was asked and how many requests were waiting for an answer at once.
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
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int delayMs = 0;     // answer later, to let requests pile up
    bool stall = false;  // never answer
  };
  using Handler = std::function<Response(const Request&)>;

  explicit LocalHttpServer(Handler handler = {}, QObject* parent = nullptr);
  ~LocalHttpServer() override;
  void setHandler(Handler handler) { handler_ = std::move(handler); }
  [[nodiscard]] bool listening() const { return server_.isListening(); }
  [[nodiscard]] QByteArray baseUrl() const;

  QList<Request> requests;
  int maxWaiting = 0;

 private:
  void readFrom(QTcpSocket* socket);
  void answer(QTcpSocket* socket, const Response& response);

  QTcpServer server_;
  Handler handler_;
  QHash<QTcpSocket*, QByteArray> buffers_;
  int waiting_ = 0;
};
