#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

namespace kavrano::test {

/// A canned HTTP/1.1 server on 127.0.0.1 for the geocoder tests. Each request's
/// line and headers are recorded; the responder decides the answer to each:
/// status, body and a delay (negative: never answer).
class TestHttpServer : public QObject {
 public:
  struct Request {
    QByteArray target;  // "/api?q=…&limit=10"
    QByteArray head;    // the whole request head, headers included
    [[nodiscard]] QUrl url() const { return QUrl(QString::fromLatin1(target)); }
  };
  struct Response {
    int status = 200;
    QByteArray body;
    int delayMs = 0;
  };
  using Responder = std::function<Response(const Request&)>;

  TestHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) accept(socket);
    });
  }

  [[nodiscard]] bool listening() const { return server_.isListening(); }
  [[nodiscard]] QUrl baseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort())); }
  void setResponder(Responder responder) { responder_ = std::move(responder); }
  [[nodiscard]] const QList<Request>& requests() const { return requests_; }

 private:
  void accept(QTcpSocket* socket) {
    socket->setParent(this);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
      buffer->append(socket->readAll());
      const qsizetype end = buffer->indexOf("\r\n\r\n");
      if (end < 0) return;
      Request request;
      request.head = buffer->left(end);
      request.target = request.head.split('\n').first().split(' ').value(1);
      buffer->clear();
      requests_.push_back(request);
      const Response response = responder_ ? responder_(request) : Response{404, {}, 0};
      QPointer<QTcpSocket> guard(socket);
      auto answer = [this, guard, response] {
        if (!guard || guard->state() != QAbstractSocket::ConnectedState) return;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n" +
                         "Content-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                         QByteArray::number(response.body.size()) + "\r\n\r\n" + response.body;
        guard->write(out);
        guard->disconnectFromHost();
      };
      if (response.delayMs < 0) return;  // never answers
      if (response.delayMs == 0)
        answer();
      else
        QTimer::singleShot(response.delayMs, this, answer);
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  }

  QTcpServer server_;
  Responder responder_;
  QList<Request> requests_;
};

/// A Photon answer with one feature per (name, city, country, lat, lon).
struct PhotonFeature {
  const char* name;
  const char* city;
  const char* country;
  double latitude;
  double longitude;
};
inline QByteArray photonAnswer(std::initializer_list<PhotonFeature> features) {
  QByteArray out = R"({"type":"FeatureCollection","features":[)";
  bool first = true;
  for (const PhotonFeature& f : features) {
    if (!first) out += ',';
    first = false;
    out += R"({"type":"Feature","geometry":{"type":"Point","coordinates":[)" +
           QByteArray::number(f.longitude, 'g', 10) + ',' + QByteArray::number(f.latitude, 'g', 10) +
           R"(]},"properties":{"name":")" + f.name + R"(","city":")" + f.city + R"(","country":")" + f.country +
           R"("}})";
  }
  return out + "]}";
}

}  // namespace kavrano::test
