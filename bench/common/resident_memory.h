#pragma once

#include <QFile>

namespace kavrano {

/// This process's resident memory in KiB (VmRSS), or −1 where /proc cannot tell.
inline long residentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

}  // namespace kavrano
