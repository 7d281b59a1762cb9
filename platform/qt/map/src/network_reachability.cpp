#include "kavrano/qt_map/network_reachability.h"

#include <QNetworkInformation>

namespace kavrano {

std::unique_ptr<NetworkReachability> NetworkReachability::fromSystem() {
  if (!QNetworkInformation::loadDefaultBackend()) return nullptr;
  QNetworkInformation* information = QNetworkInformation::instance();
  auto watch = std::make_unique<NetworkReachability>();
  QObject::connect(
      information, &QNetworkInformation::reachabilityChanged, watch.get(),
      [watch = watch.get(), last = information->reachability()](QNetworkInformation::Reachability now) mutable {
        if (now == QNetworkInformation::Reachability::Online && last != now) emit watch->online();
        last = now;
      });
  return watch;
}

}  // namespace kavrano
