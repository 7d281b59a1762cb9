#include "kavrano/qt_ui/return_presses_buttons.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

namespace kavrano {

namespace {

class ReturnPressesButtons final : public QObject {
 public:
  explicit ReturnPressesButtons(QQuickWindow& window) : QObject(&window), window_(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &window_ || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) {
      return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
      return false;
    }
    QQuickItem* focused = window_.activeFocusItem();
    if (!focused || !focused->inherits("QQuickAbstractButton")) return false;
    QKeyEvent space(event->type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), key->isAutoRepeat());
    QCoreApplication::sendEvent(&window_, &space);
    return true;
  }

 private:
  QQuickWindow& window_;
};

}  // namespace

void pressButtonsWithReturn(QQuickWindow& window) { window.installEventFilter(new ReturnPressesButtons(window)); }

}  // namespace kavrano
