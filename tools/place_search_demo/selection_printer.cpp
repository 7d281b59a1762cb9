#include "selection_printer.h"

#include <QPointer>
#include <cstdio>

#include "kavrano/measure/location_manager.h"

namespace kavrano {

SelectionPrinter::SelectionPrinter(std::shared_ptr<PlaceSearchService> places, QObject* parent)
    : QObject(parent), places_(std::move(places)) {}

void SelectionPrinter::didSelectCompletion(const PlaceSuggestion& completion) {
  std::printf("selected: %s | %s\n", qUtf8Printable(completion.title), qUtf8Printable(completion.subtitle));
  std::fflush(stdout);
  // One manager per lookup, released at once, as the measuring screen will do.
  LocationManager manager(places_);
  manager.fetchCoordinate(completion, [self = QPointer<SelectionPrinter>(this)](std::optional<Coordinate> c) {
    const QString text =
        c ? QStringLiteral("%1,%2").arg(c->latitude, 0, 'f', 5).arg(c->longitude, 0, 'f', 5) : QString();
    std::printf("coordinate: %s\n", c ? qUtf8Printable(text) : "none");
    std::fflush(stdout);
    if (self) emit self->coordinatePrinted(text);
  });
}

}  // namespace kavrano
