#pragma once

class QQmlEngine;
class QQuickWindow;

namespace kavrano {

/// Keeps memory the app frees for its next use instead of handing it back to
/// the system at once. The saved measurements are one value of several
/// megabytes, read whenever the list opens; given back and taken again, every
/// page of it faults in anew, which cost 60 ms of a 97 ms list opening. The same
/// held for the pictures a tap's dissolves draw.
void keepFreedMemoryForReuse();

/// Hands what was kept back to the system once the window has drawn nothing for
/// a while: reuse pays while the user works, and an app left open on a phone
/// holds no more than it uses. The engine's compiled views that nothing shows go
/// first; a screen opened later reads them from the disk cache.
void releaseFreedMemoryAtRest(QQuickWindow& window, QQmlEngine& engine);

}  // namespace kavrano
