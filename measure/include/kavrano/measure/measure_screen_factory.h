#pragma once

#include <QObject>

#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// The screens the measuring screen opens. The app supplies them, so this layer
/// does not depend on the layers that draw them.
class MeasureScreenFactory {
 public:
  virtual ~MeasureScreenFactory() = default;
  /// The saved-measurements list; `delegate` (a MeasurementSelectionDelegate
  /// QObject) is told the chosen record and is held weakly.
  [[nodiscard]] virtual Screen makeMeasurementSelectionScreen(QObject* delegate) = 0;
  /// The screen `identifier` (its class name) of the collection of views named
  /// `storyboard`; a screen without a controller when there is no such screen.
  [[nodiscard]] virtual Screen instantiateViewController(const QString& storyboard, const QString& identifier) = 0;
};

}  // namespace kavrano
