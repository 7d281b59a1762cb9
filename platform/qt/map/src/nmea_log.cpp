#include "kavrano/qt_map/nmea_log.h"

#include <QFile>
#include <QFileInfo>

namespace kavrano {

QByteArray boundedNmeaLines(QByteArrayView bytes) {
  QByteArray lines;
  lines.reserve(bytes.size() + 1);
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = bytes.indexOf('\n', start);
    if (end < 0) end = bytes.size();
    QByteArrayView line = bytes.sliced(start, end - start);
    if (line.endsWith('\r')) line.chop(1);
    if (!line.isEmpty() && line.size() <= kMaxNmeaLineBytes) {
      lines += line;
      lines += "\r\n";
    }
    start = end + 1;
  }
  return lines;
}

Result<QByteArray> readNmeaLog(const QString& path) {
  const auto fail = [](const QString& why) { return Failure{why.toStdString(), Failure::Kind::invalidRequest}; };
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    return fail(QStringLiteral("neither LAT,LON nor a readable NMEA file: %1").arg(path));
  }
  const auto tooLarge = [&] {
    return fail(QStringLiteral("NMEA file larger than %1 MiB: %2").arg(kMaxNmeaLogBytes >> 20).arg(path));
  };
  if (file.size() > kMaxNmeaLogBytes) return tooLarge();
  // The file may grow between the size and the read: one byte past the bound tells.
  const QByteArray bytes = file.read(kMaxNmeaLogBytes + 1);
  if (bytes.size() > kMaxNmeaLogBytes) return tooLarge();
  if (file.error() != QFileDevice::NoError) {
    return fail(QStringLiteral("cannot read the NMEA file %1: %2").arg(path, file.errorString()));
  }
  return boundedNmeaLines(bytes);
}

}  // namespace kavrano
