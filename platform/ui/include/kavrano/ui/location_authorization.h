#pragma once

#include <functional>

namespace kavrano {

enum class LocationAuthorizationStatus { NotDetermined, Restricted, Denied, AuthorizedWhenInUse };

/// The permission to use the device's position while the app is in use.
class LocationAuthorization {
 public:
  virtual ~LocationAuthorization() = default;
  /// Asks once; the answer comes later, on the main thread, through `onChange`.
  virtual void requestWhenInUseAuthorization() = 0;
  [[nodiscard]] virtual LocationAuthorizationStatus status() const = 0;

  /// Told of every change of `status()`.
  std::function<void(LocationAuthorizationStatus)> onChange;
};

}  // namespace kavrano
