#include "kavrano/qt_ui/desktop_services.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QStandardPaths>
#include <QTimer>

namespace kavrano {

void QtMainQueueScheduler::schedule(const QObject* context, std::chrono::milliseconds delay,
                                    std::function<void()> step) {
  // Without a context the step is bound to the application, which outlives every screen.
  const QObject* bound = context ? context : QCoreApplication::instance();
  QTimer::singleShot(delay, bound, std::move(step));
}

void DesktopLocationAuthorization::requestWhenInUseAuthorization() {
  requested_ = true;
  if (hasPositionSource_) QTimer::singleShot(0, this, [this] { answer(); });
}

void DesktopLocationAuthorization::setHasPositionSource(bool hasPositionSource) {
  hasPositionSource_ = hasPositionSource;
  if (requested_) QTimer::singleShot(0, this, [this] { answer(); });
}

void DesktopLocationAuthorization::answer() {
  const auto answer =
      *hasPositionSource_ ? LocationAuthorizationStatus::AuthorizedWhenInUse : LocationAuthorizationStatus::Denied;
  if (answer == status_) return;
  status_ = answer;
  if (onChange) onChange(status_);
}

bool DesktopUrlOpener::canOpenUrl(const QUrl& url) const {
  if (!url.isValid()) return false;
  const QString scheme = url.scheme();
  if (scheme != QLatin1String("mailto") && scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
    return false;
  }
#if defined(Q_OS_LINUX) && !defined(Q_OS_ANDROID)
  // QDesktopServices hands everything to xdg-open; without it nothing opens.
  return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
#else
  return true;
#endif
}

void DesktopUrlOpener::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace kavrano
