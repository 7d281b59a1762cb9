#include "kavrano/qt_map/network_warning_filter.h"

#include <QString>
#include <QtGlobal>
#include <cstring>
#include <mutex>

namespace kavrano {

namespace {

QtMessageHandler previous = nullptr;

void filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  static const QString kDuplicate =
      QStringLiteral("QNetworkReplyImplPrivate::error: Internal problem, this method must only be called once.");
  const bool defaultCategory = !context.category || std::strcmp(context.category, "default") == 0;
  if (type == QtWarningMsg && defaultCategory && message == kDuplicate) return;
  previous(type, context, message);  // Qt hands out its default handler when there was none
}

}  // namespace

void installNetworkWarningFilter() {
  static std::once_flag once;
  std::call_once(once, [] { previous = qInstallMessageHandler(filter); });
}

}  // namespace kavrano
