#include <QGuiApplication>
#include <cstdio>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/memory_tuning.h"
#include "kavrano/app/scene_delegate.h"

namespace kavrano {

int runApp(int& argc, char** argv) {
  keepFreedMemoryForReuse();
  // Read before the application exists, so help and errors need no display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const AppOptionsResult parsed = parseAppOptions(arguments);
  if (!parsed.helpText.isEmpty()) {
    std::fputs(qPrintable(parsed.helpText), stdout);
    return 0;
  }
  if (!parsed.error.isEmpty()) {
    std::fprintf(stderr, "kavrano: %s\n", qPrintable(parsed.error));
    return 2;
  }
  QGuiApplication app(argc, argv);
  QGuiApplication::setApplicationName(QStringLiteral("kavrano"));
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Kavrano"));
  // The desktop entry's name: the desktop matches the window to it, for its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(KAVRANO_APP_ID));
  AppDelegate delegate;
  delegate.didFinishLaunching(parsed.options);
  SceneDelegate scene;
  if (const auto shown = scene.connect(parsed.options); !shown) {
    std::fprintf(stderr, "kavrano: %s\n", shown.failure().reason.c_str());
    return 2;
  }
  if (!delegate.storeNotice().isEmpty()) scene.showNotice(delegate.storeNotice());
  return QGuiApplication::exec();
}

}  // namespace kavrano
