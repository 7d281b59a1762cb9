#pragma once

#include <QObject>
#include <memory>

namespace kavrano {

/// Tells when the way to the network opens again. Anyone may emit `online`; the
/// system's watch is a subclass.
class NetworkReachability : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  /// Qt's network information backend (a plugin that talks to the system,
  /// loaded here); null where none loads.
  [[nodiscard]] static std::unique_ptr<NetworkReachability> fromSystem();

 signals:
  /// The network is reachable after it was not.
  void online();
};

}  // namespace kavrano
