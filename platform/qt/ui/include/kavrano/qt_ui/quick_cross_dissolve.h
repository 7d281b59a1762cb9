#pragma once

#include <QQuickItem>

#include "kavrano/ui/view_transition.h"

namespace kavrano {

/// The cross-dissolve of `item` on Qt Quick: a still of the item, taken from the
/// window drawn at once, is laid over it, the changes run, and the still fades
/// out over the duration. Without a shown window the changes run at once.
[[nodiscard]] ViewTransition makeCrossDissolve(QQuickItem* item);

}  // namespace kavrano
