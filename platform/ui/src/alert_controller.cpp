#include "kavrano/ui/alert_controller.h"

#include <QtGlobal>

namespace kavrano {

void AlertTextField::setDelegate(QObject* delegate) {
  if (delegate && !qobject_cast<TextFieldDelegate*>(delegate)) {
    qFatal("AlertTextField: the delegate does not implement TextFieldDelegate");
  }
  delegate_ = delegate;
}

TextFieldDelegate* AlertTextField::delegate() const { return qobject_cast<TextFieldDelegate*>(delegateObject()); }

bool AlertTextField::proposeEdit(int start, int length, const QString& replacement) {
  if (TextFieldDelegate* d = delegate(); d && !d->shouldChangeCharacters(*this, start, length, replacement))
    return false;
  QString current = text.value_or(QString());
  current.replace(start, length, replacement);
  text = current;
  return true;
}

std::shared_ptr<AlertAction> AlertController::addAction(AlertAction action) {
  actions.push_back(std::make_shared<AlertAction>(std::move(action)));
  return actions.back();
}

std::shared_ptr<AlertTextField> AlertController::addTextField(const std::function<void(AlertTextField&)>& configure) {
  auto field = std::make_shared<AlertTextField>();
  if (configure) configure(*field);
  textFields.push_back(field);
  return field;
}

}  // namespace kavrano
