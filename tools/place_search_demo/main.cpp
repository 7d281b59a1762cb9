// A small window to try the place search by hand: a search field over the
// results screen. Choosing a row prints the suggestion and its coordinate.
//
//   kavrano-place-search-demo [--geocoder URL|offline] [--query TEXT]
//                             [--select ROW] [--screenshot FILE.png]
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>

#include "kavrano/measure/search_view_controller.h"
#include "kavrano/qt_places/place_search_service_factory.h"
#include "kavrano/qt_places/quick_search_presentation.h"
#include "selection_printer.h"

using namespace kavrano;

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("kavrano-place-search-demo"));
  QQuickStyle::setStyle(QStringLiteral("Material"));  // the product's style

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Try Kavrano's place search."));
  parser.addHelpOption();
  const QCommandLineOption geocoder(QStringLiteral("geocoder"), QStringLiteral("Geocoder base URL, or \"offline\"."),
                                    QStringLiteral("URL|offline"));
  const QCommandLineOption query(QStringLiteral("query"), QStringLiteral("Type this text at start."),
                                 QStringLiteral("TEXT"));
  const QCommandLineOption select(QStringLiteral("select"),
                                  QStringLiteral("Choose this row once suggestions arrive, then quit."),
                                  QStringLiteral("ROW"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                      QStringLiteral("Save the window once suggestions arrive, then quit."),
                                      QStringLiteral("FILE"));
  parser.addOptions({geocoder, query, select, screenshot});
  parser.process(app);

  const PlaceSearchServiceChoice choice = makePlaceSearchService(parser.value(geocoder));
  if (!choice.service) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(choice.error));
    return 2;
  }
  bool rowOk = true;
  const int row = parser.isSet(select) ? parser.value(select).toInt(&rowOk) : -1;
  if (!rowOk || (parser.isSet(select) && row < 0)) {
    std::fprintf(stderr, "--select: expected a row number from 0, got \"%s\"\n", qUtf8Printable(parser.value(select)));
    return 2;
  }

  QuickSearchPresentation presentation;
  SearchViewController controller(choice.service, presentation);
  SelectionPrinter printer(choice.service);
  controller.setDelegate(&printer);

  QQmlApplicationEngine engine;
  engine.setInitialProperties({{QStringLiteral("controller"), QVariant::fromValue<QObject*>(&controller)},
                               {QStringLiteral("presentation"), QVariant::fromValue<QObject*>(&presentation)}});
  engine.load(QUrl(QStringLiteral("qrc:/kavrano/place_search_demo/Main.qml")));
  if (engine.rootObjects().isEmpty()) return 1;
  auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first());

  if (parser.isSet(query)) {
    const QString text = parser.value(query);
    if (auto* field = window->findChild<QQuickItem*>(QStringLiteral("searchField"))) field->setProperty("text", text);
    presentation.setActive(true);
    controller.updateSearchResults(text);
  }

  const bool scripted = parser.isSet(select) || parser.isSet(screenshot);
  // A timer of our own: the analyzer cannot see a functor's single shot free itself.
  QTimer act;
  if (scripted) {
    // Acts once the first list has arrived (and the view has drawn it), or gives
    // up after the geocoder's own timeout.
    act.setSingleShot(true);
    act.setInterval(400);
    QObject::connect(controller.suggestions(), &QAbstractItemModel::modelReset, &act, qOverload<>(&QTimer::start));
    QObject::connect(&act, &QTimer::timeout, &app, [&] {
      if (parser.isSet(screenshot)) {
        const bool saved = window->grabWindow().save(parser.value(screenshot));
        std::printf("screenshot: %s\n", saved ? "saved" : "failed");
      }
      if (row >= 0) {
        if (row >= controller.locationSugestion().size()) {
          std::printf("no row %d\n", row);
          QCoreApplication::exit(1);
        }
        controller.didSelectRow(row);
      } else {
        QCoreApplication::quit();
      }
    });
    QObject::connect(&printer, &SelectionPrinter::coordinatePrinted, &app, [] { QCoreApplication::quit(); });
    QTimer::singleShot(15'000, &app, [] {
      std::printf("no answer\n");
      QCoreApplication::exit(1);
    });
  }
  return app.exec();
}
