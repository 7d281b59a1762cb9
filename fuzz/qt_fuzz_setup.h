#pragma once

#include <QCoreApplication>

namespace kavrano::fuzz {

/// Qt's image plugins are found through the application object: make one for the run.
inline int startQt(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  return 0;
}

}  // namespace kavrano::fuzz
