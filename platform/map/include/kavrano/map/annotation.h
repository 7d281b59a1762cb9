#pragma once

#include <QString>
#include <optional>

#include "kavrano/core/coordinate.h"

namespace kavrano {

/// Something placed on the map at a coordinate. The map keeps annotations by
/// identity (shared pointers), so removing one means passing the same object.
class Annotation {
 public:
  virtual ~Annotation() = default;
  [[nodiscard]] virtual Coordinate coordinate() const = 0;
  /// None and an empty text are different: screens tell labels from vertices by it.
  [[nodiscard]] virtual std::optional<QString> title() const = 0;
};

}  // namespace kavrano
