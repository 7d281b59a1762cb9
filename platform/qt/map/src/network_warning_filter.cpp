#include "kavrano/qt_map/network_warning_filter.h"

#include <QString>
#include <QtGlobal>
#include <cstring>

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
  const QtMessageHandler before = qInstallMessageHandler(filter);
  if (before != filter) previous = before;
}

}  // namespace kavrano
