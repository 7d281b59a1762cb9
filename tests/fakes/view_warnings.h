#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QtGlobal>
#include <cstdio>

// A view that warns at run time (a misspelled property, a binding on a missing
// object, a value of the wrong type) fails the case that loaded it: such a view
// shows something other than what its controller says.
inline void failOnViewWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(message));
  if (type != QtDebugMsg && type != QtInfoMsg && message.startsWith(QLatin1String("qrc:/"))) {
    ADD_FAILURE() << "a view warned: " << qPrintable(message);
  }
}

inline void failOnViewWarnings() { qInstallMessageHandler(failOnViewWarning); }
