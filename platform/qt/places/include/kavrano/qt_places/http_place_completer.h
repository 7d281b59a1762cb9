#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "kavrano/places/place_completer.h"
#include "kavrano/qt_places/http_geocoder_options.h"

namespace kavrano {

/// Suggestions from the online geocoder while the user types: a request goes
/// out once typing has paused for the debounce time; a newer fragment aborts
/// the request in flight, so at most one is open and no stale answer arrives.
class HttpPlaceCompleter : public QObject, public PlaceCompleter {
  Q_OBJECT
 public:
  HttpPlaceCompleter(std::shared_ptr<QNetworkAccessManager> network, HttpGeocoderOptions options);
  ~HttpPlaceCompleter() override;

  void setQueryFragment(const QString& fragment) override;
  [[nodiscard]] QString queryFragment() const override { return fragment_; }
  [[nodiscard]] QList<PlaceSuggestion> results() const override { return results_; }

 private:
  void send();

  std::shared_ptr<QNetworkAccessManager> network_;
  HttpGeocoderOptions options_;
  QTimer debounce_;
  QPointer<QNetworkReply> inFlight_;
  QString fragment_;
  QList<PlaceSuggestion> results_;
};

}  // namespace kavrano
