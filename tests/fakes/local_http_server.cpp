#include "local_http_server.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

LocalHttpServer::LocalHttpServer(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
      connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        buffers_.remove(socket);
        socket->deleteLater();
      });
    }
  });
}

LocalHttpServer::~LocalHttpServer() {
  // Sockets die with the server member, after our own members: silence them first.
  for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) socket->disconnect(this);
}

QByteArray LocalHttpServer::baseUrl() const { return "http://127.0.0.1:" + QByteArray::number(server_.serverPort()); }

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
  QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) +
                    " X\r\nContent-Length: " + QByteArray::number(r.body.size()) + "\r\n";
  for (const auto& [name, value] : r.headers) head += name + ": " + value + "\r\n";
  socket->write(head + "\r\n" + r.body);
}
