#pragma once

class QQuickWindow;

namespace kavrano {

/// Return and Enter press the focused button of `window`, as Space does. Qt
/// Quick Controls before 6.5 press their buttons with Space alone, and desktop
/// users reach for Return. Fields and the plain buttons keep their own handling.
void pressButtonsWithReturn(QQuickWindow& window);

}  // namespace kavrano
