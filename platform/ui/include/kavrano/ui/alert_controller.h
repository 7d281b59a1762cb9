#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kavrano {

enum class AlertActionStyle { Default, Cancel, Destructive };

/// A button of an alert. Its handler runs after the alert has gone.
struct AlertAction {
  QString title;
  AlertActionStyle style = AlertActionStyle::Default;
  std::function<void(const AlertAction&)> handler;  // may be empty
  bool enabled = true;
};

enum class TextAutocapitalization { None, Words, Sentences, AllCharacters };

class AlertTextField;

/// Asked before every edit of an alert's text field. Implemented by a QObject that
/// declares Q_INTERFACES(kavrano::TextFieldDelegate), so the field holds it weakly.
class TextFieldDelegate {
 public:
  virtual ~TextFieldDelegate() = default;
  /// True lets the edit replace `length` characters from `start` with `replacement`.
  virtual bool shouldChangeCharacters(AlertTextField& field, int start, int length, const QString& replacement) = 0;
};

/// A text field of an alert. `text` is what the user typed; no value until the
/// alert's view has put one in.
class AlertTextField {
 public:
  QString placeholder;
  TextAutocapitalization autocapitalization = TextAutocapitalization::None;
  std::optional<QString> text;

  void setDelegate(QObject* delegate);
  [[nodiscard]] TextFieldDelegate* delegate() const;
  /// Asks the delegate (yes without one), then applies the edit when allowed.
  bool proposeEdit(int start, int length, const QString& replacement);

 private:
  QObject* delegateObject() const { return delegate_.data(); }
  QPointer<QObject> delegate_;
};

/// An alert: title, message, optional text fields and buttons in the order added.
class AlertController {
 public:
  AlertController(QString title, QString message) : title(std::move(title)), message(std::move(message)) {}

  QString title;
  QString message;
  std::vector<std::shared_ptr<AlertAction>> actions;
  std::vector<std::shared_ptr<AlertTextField>> textFields;

  std::shared_ptr<AlertAction> addAction(AlertAction action);
  std::shared_ptr<AlertTextField> addTextField(const std::function<void(AlertTextField&)>& configure = {});
};

}  // namespace kavrano

Q_DECLARE_INTERFACE(kavrano::TextFieldDelegate, "app.kavrano.TextFieldDelegate")
