#pragma once

#include <QFile>
#include <QHash>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace kavrano {

/// This process's resident memory in KiB (VmRSS), or −1 where /proc cannot tell.
inline long residentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

/// Prints where the resident memory is, from /proc/self/smaps: per file mapped
/// (libraries, fonts, data), the heap, and anonymous mappings (thread arenas,
/// large blocks, GPU-less render buffers), largest first, down to `leastKiB`.
inline void printResidentByMapping(FILE* out, long leastKiB = 256) {
  QFile smaps(QStringLiteral("/proc/self/smaps"));
  if (!smaps.open(QIODevice::ReadOnly)) return;
  QHash<QString, long> kib;
  QString name;
  for (const QByteArray& line : smaps.readAll().split('\n')) {
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() >= 5 && words[0].contains('-') && words[1].size() == 4) {
      name = words.size() >= 6 ? QString::fromUtf8(words[5]) : QStringLiteral("[anonymous]");
    } else if (words.size() == 3 && words[0] == "Rss:") {
      kib[name] += words[1].toLong();
    }
  }
  std::vector<std::pair<QString, long>> rows(kib.keyValueBegin(), kib.keyValueEnd());
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  for (const auto& [mapping, size] : rows)
    if (size >= leastKiB) std::fprintf(out, "%8ld KiB  %s\n", size, qPrintable(mapping));
}

}  // namespace kavrano
