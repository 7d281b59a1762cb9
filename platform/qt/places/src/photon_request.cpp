#include "kavrano/qt_places/photon_request.h"

#include <QNetworkRequest>
#include <QTimer>
#include <memory>

namespace kavrano {

namespace {
constexpr const char* kAbortedBySender = "kavranoAbortedBySender";
// A geocoder may move; a longer chain than this is a loop.
constexpr int kMaxRedirects = 3;
}  // namespace

QNetworkReply* sendPhotonRequest(QNetworkAccessManager& network, const HttpGeocoderOptions& options,
                                 const QString& query, int limit,
                                 std::function<void(std::optional<QList<PhotonPlace>>)> done) {
  QUrl url = options.baseUrl;
  QString path = url.path();
  while (path.endsWith(QLatin1Char('/'))) path.chop(1);
  url.setPath(path + QLatin1String("/api"));
  // Encoded by hand: '&', '=' and '+' inside the query must not split it.
  // One arg() call: a chained second one would read the "%2C" of an encoded comma
  // as its placeholder.
  url.setQuery(
      QStringLiteral("q=%1&limit=%2").arg(QString::fromLatin1(QUrl::toPercentEncoding(query)), QString::number(limit)));

  QNetworkRequest request(url);
  // Public geocoders ask clients to identify themselves.
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Kavrano/" KAVRANO_VERSION));
  request.setTransferTimeout(static_cast<int>(options.timeout.count()));
  // Qt inflates a gzip body in one piece on this thread before the size cap can
  // see it; answers of a few KiB gain little from compression anyway.
  request.setRawHeader("Accept-Encoding", "identity");
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(kMaxRedirects);

  QNetworkReply* reply = network.get(request);
  // Qt's transfer timeout only sees silence: a body trickling a byte at a time
  // would keep it waiting for ever.
  QTimer::singleShot(options.timeout, reply, &QNetworkReply::abort);
  const qint64 cap = options.maxBodyBytes;
  auto oversized = std::make_shared<bool>(false);
  QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                   [reply, cap, oversized](qint64 received, qint64 total) {
                     if (received > cap || total > cap) {
                       *oversized = true;
                       reply->abort();
                     }
                   });
  QObject::connect(reply, &QNetworkReply::finished, reply, [reply, oversized, done = std::move(done)] {
    reply->deleteLater();
    if (reply->property(kAbortedBySender).toBool()) return;
    // Everything else is a failure: transport errors, the transfer timeout (an
    // abort to Qt), our own size cap, and any status but success.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (*oversized || reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
      done(std::nullopt);
      return;
    }
    done(PhotonResponseReader::read(reply->readAll()));
  });
  return reply;
}

void abortPhotonRequest(QNetworkReply* reply) {
  if (!reply) return;
  reply->setProperty(kAbortedBySender, true);
  reply->abort();
}

}  // namespace kavrano
