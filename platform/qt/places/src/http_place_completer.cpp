#include "kavrano/qt_places/http_place_completer.h"

#include "kavrano/qt_places/photon_request.h"

namespace kavrano {

HttpPlaceCompleter::HttpPlaceCompleter(std::shared_ptr<QNetworkAccessManager> network, HttpGeocoderOptions options)
    : network_(std::move(network)), options_(std::move(options)) {
  debounce_.setSingleShot(true);
  debounce_.setInterval(options_.debounce);
  connect(&debounce_, &QTimer::timeout, this, &HttpPlaceCompleter::send);
}

HttpPlaceCompleter::~HttpPlaceCompleter() { abortPhotonRequest(inFlight_); }

void HttpPlaceCompleter::setQueryFragment(const QString& fragment) {
  fragment_ = fragment;
  abortPhotonRequest(inFlight_);
  inFlight_ = nullptr;
  if (fragment.trimmed().isEmpty()) {
    debounce_.stop();
    // Nothing to ask the server; still answered later, like every fragment.
    QMetaObject::invokeMethod(
        this,
        [this, fragment] {
          if (fragment_ != fragment) return;
          results_.clear();
          reportResults();
        },
        Qt::QueuedConnection);
    return;
  }
  debounce_.start();
}

void HttpPlaceCompleter::send() {
  const QString fragment = fragment_;
  inFlight_ = sendPhotonRequest(*network_, options_, fragment, options_.suggestionLimit,
                                [this, guard = QPointer<HttpPlaceCompleter>(this), fragment](auto places) {
                                  if (!guard || fragment_ != fragment) return;
                                  inFlight_ = nullptr;
                                  if (!places) {
                                    reportFailure();
                                    return;
                                  }
                                  QList<PlaceSuggestion> suggestions;
                                  for (const PhotonPlace& p : *places) {
                                    // The same place often comes as a node and as a boundary.
                                    if (!suggestions.contains(p.suggestion)) suggestions.push_back(p.suggestion);
                                  }
                                  results_ = std::move(suggestions);
                                  reportResults();
                                });
}

}  // namespace kavrano
