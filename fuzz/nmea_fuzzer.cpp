// An NMEA log given with --position: our line bounds, then Qt's sentence parser on
// every line that passes, as the position source reads them.
#include <QByteArray>
#include <QGeoPositionInfo>
#include <QNmeaPositionInfoSource>
#include <cstdint>
#include <cstdlib>

#include "kavrano/qt_map/nmea_log.h"
#include "qt_fuzz_setup.h"

namespace {

// The parser is protected in Qt's source class; this exposes it.
class SentenceParser final : public QNmeaPositionInfoSource {
 public:
  SentenceParser() : QNmeaPositionInfoSource(QNmeaPositionInfoSource::SimulationMode) {}
  bool parse(const QByteArray& line) {
    QGeoPositionInfo info;
    bool hasFix = false;
    return parsePosInfoFromNmeaData(line.constData(), static_cast<int>(line.size()), &info, &hasFix);
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) { return kavrano::fuzz::startQt(argc, argv); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SentenceParser parser;
  const QByteArray lines =
      kavrano::boundedNmeaLines(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  for (const QByteArray& line : lines.split('\n')) {
    if (line.size() > kavrano::kMaxNmeaLineBytes + 1) std::abort();  // + the '\r'
    if (!line.isEmpty()) (void)parser.parse(line + '\n');
  }
  return 0;
}
