#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include "kavrano/core/result.h"

namespace kavrano {

/// Bounds on an NMEA log given as the own position, checked before its bytes are
/// held. A day of one fix a second in five sentences of at most 82 characters is
/// about 35 MB; NMEA 0183 caps a sentence at 82 characters, proprietary ones run longer.
inline constexpr qint64 kMaxNmeaLogBytes = qint64{64} << 20;
inline constexpr qsizetype kMaxNmeaLineBytes = 1024;

/// The lines of `bytes` no longer than kMaxNmeaLineBytes (without their line end),
/// each ended with "\r\n"; longer lines cannot be sentences and are left out, so the
/// reader never has to hold one.
[[nodiscard]] QByteArray boundedNmeaLines(QByteArrayView bytes);

/// The NMEA log in the regular file `path`, read whole and its lines bounded; fails
/// saying why when it is missing, unreadable, or larger than kMaxNmeaLogBytes.
[[nodiscard]] Result<QByteArray> readNmeaLog(const QString& path);

}  // namespace kavrano
