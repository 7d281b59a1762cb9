#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>
#include <functional>
#include <optional>

#include "kavrano/qt_places/http_geocoder_options.h"
#include "kavrano/qt_places/photon_response_reader.h"

namespace kavrano {

/// Sends one Photon query and hands its places (no value on any failure) to
/// `done`, exactly once unless `abortPhotonRequest` stops it first. The reply
/// deletes itself afterwards.
[[nodiscard]] QNetworkReply* sendPhotonRequest(QNetworkAccessManager& network, const HttpGeocoderOptions& options,
                                               const QString& query, int limit,
                                               std::function<void(std::optional<QList<PhotonPlace>>)> done);

/// Stops a request sent above without calling its `done`.
void abortPhotonRequest(QNetworkReply* reply);

}  // namespace kavrano
