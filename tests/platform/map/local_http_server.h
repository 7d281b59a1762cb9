#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <functional>

/// A small HTTP/1.1 server on 127.0.0.1 for network tests: GET only, keep-alive,
/// one handler deciding every answer. It records what it was asked and how many
/// requests were waiting for an answer at once.
class LocalHttpServer : public QObject {
  Q_OBJECT
 public:
  struct Request {
    QByteArray path;
    QHash<QByteArray, QByteArray> headers;  // names in lower case
  };
  struct Response {
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int delayMs = 0;     // answer later, to let requests pile up
    bool stall = false;  // never answer
  };
  using Handler = std::function<Response(const Request&)>;

  explicit LocalHttpServer(Handler handler, QObject* parent = nullptr);
  ~LocalHttpServer() override;
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
