#include "kavrano/app/app_options.h"

#include <QCommandLineParser>
#include <QDebug>

#include "kavrano/app/about_text.h"
#include "kavrano/core/number_text.h"

namespace kavrano {

AppOptionsResult parseAppOptions(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Kavrano: measure lengths and areas on satellite imagery."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
  const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                   QStringLiteral("Keep preferences, measurements and events in DIR."),
                                   QStringLiteral("DIR"));
  const QCommandLineOption tiles(
      QStringLiteral("tiles"),
      QStringLiteral("Imagery: a tile URL template with {z}, {x}, {y}, an .mbtiles file, or \"builtin\" (the world "
                     "map that comes with Kavrano)."),
      QStringLiteral("URL-TEMPLATE|FILE.mbtiles|builtin"));
  const QCommandLineOption geocoder(QStringLiteral("geocoder"),
                                    QStringLiteral("Place search: \"offline\", or a geocoder's base URL."),
                                    QStringLiteral("offline|URL"));
  const QCommandLineOption position(QStringLiteral("position"),
                                    QStringLiteral("Own position: fixed LAT,LON, or an NMEA log replayed."),
                                    QStringLiteral("LAT,LON|FILE.nmea"));
  const QCommandLineOption locale(QStringLiteral("locale"), QStringLiteral("Format numbers as in NAME (de_CH)."),
                                  QStringLiteral("NAME"));
  const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
  const QCommandLineOption about(QStringLiteral("about"),
                                 QStringLiteral("Show the licence and the credits of the data shown."));
  parser.addOptions({help, version, about, dataDir, tiles, geocoder, position, locale});
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("GeoJSON, KML or GPX measurements to save and show on the map."),
                               QStringLiteral("[FILE…]"));

  AppOptionsResult result;
  if (!parser.parse(arguments)) {
    result.error = parser.errorText();
    return result;
  }
  if (parser.isSet(help)) {
    result.helpText = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kavrano"));
    return result;
  }
  if (parser.isSet(version)) {
    result.helpText = QStringLiteral("kavrano %1\n").arg(QStringLiteral(KAVRANO_VERSION));
    return result;
  }
  if (parser.isSet(about)) {
    result.helpText = aboutText();
    return result;
  }
  // As kavrano-cli judges it: a name ICU has no numbers for would silently fall
  // back to another locale's.
  if (parser.isSet(locale) &&
      (parser.value(locale).isEmpty() || !isKnownNumberLocale(parser.value(locale).toStdString()))) {
    QString quoted;  // Qt's escapes keep a name holding a line break on one line
    QDebug(&quoted).nospace() << parser.value(locale);
    result.error = QStringLiteral("unknown locale '%1'").arg(quoted.mid(1, quoted.size() - 2));
    return result;
  }
  result.options = {parser.value(dataDir),  parser.value(tiles),  parser.value(geocoder),
                    parser.value(position), parser.value(locale), parser.positionalArguments()};
  return result;
}

}  // namespace kavrano
