#pragma once

#include <QString>
#include <QStringList>

namespace kavrano {

/// The app's command line. Empty texts mean "the default".
struct AppOptions {
  QString dataDirectory;  // --data-dir; else KAVRANO_DATA_DIR, XDG_DATA_HOME/kavrano
  QString tiles;          // --tiles URL-TEMPLATE|FILE.mbtiles
  QString geocoder;       // --geocoder offline|URL
  QString position;       // --position LAT,LON|FILE.nmea
  QString locale;         // --locale NAME, for numbers
  QStringList files{};    // FILE…: GeoJSON, KML or GPX to save and show
};

struct AppOptionsResult {
  AppOptions options;
  QString error;     // for the user, when the line cannot be used
  QString helpText;  // what --help, --version or --about asked for: printed instead of a run
};

/// Reads `arguments` (the program name first).
[[nodiscard]] AppOptionsResult parseAppOptions(const QStringList& arguments);

}  // namespace kavrano
