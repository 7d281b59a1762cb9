#pragma once

namespace kavrano {

/// Drops Qt 6.4's "QNetworkReplyImplPrivate::error: Internal problem, this
/// method must only be called once." from the log: Qt prints it for a failed
/// request it reports twice, which is not ours to fix and says nothing to a
/// user. Only that text in Qt's default category; everything else goes on to
/// the handler installed before. Called again, it stays in place once; called
/// on the UI thread.
void installNetworkWarningFilter();

}  // namespace kavrano
