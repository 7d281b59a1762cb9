#pragma once

#include <QUrl>
#include <chrono>

namespace kavrano {

/// How the online geocoder is reached. The base URL is the part before "/api".
struct HttpGeocoderOptions {
  QUrl baseUrl;
  std::chrono::milliseconds timeout{10'000};  // whole transfer, per request
  std::chrono::milliseconds debounce{300};    // quiet typing time before a suggestion request
  qint64 maxBodyBytes = 1 << 20;              // a full answer of 10 features is ~10 KiB; anything near this is not one
  int suggestionLimit = 10;
  int searchLimit = 5;
};

}  // namespace kavrano
