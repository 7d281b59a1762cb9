#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>

/// Resident memory of this process in bytes, from /proc (0 where there is none).
inline qint64 residentBytes() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.value(1).toLongLong() * 4096;
}

/// A timer on the UI thread that beats every 10 ms while the event loop serves
/// events: the count tells whether it kept serving, the longest gap how long it
/// was held up.
class Heartbeat {
 public:
  Heartbeat() {
    since_.start();
    timer_.callOnTimeout([this] {
      ++beats_;
      longestGapMs_ = std::max(longestGapMs_, since_.restart());
    });
    timer_.start(10);
  }
  [[nodiscard]] int beats() const { return beats_; }
  [[nodiscard]] qint64 longestGapMs() const { return longestGapMs_; }

 private:
  QTimer timer_;
  QElapsedTimer since_;
  int beats_ = 0;
  qint64 longestGapMs_ = 0;
};
