#pragma once

namespace kavrano {

/// Lets assistive technology see our plain buttons (PlainButton.qml and the
/// views made from it) as Qt Quick shows them, and also whether they are
/// disabled, which Qt Quick 6.4 reports for no item. Idempotent.
void installPlainButtonAccessibility();

}  // namespace kavrano
