#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace kavrano {

class NavigationController;

/// A screen's controller. Its view is a QML file named after the class, made by
/// whoever shows the screen with the controller as its `controller` property.
/// Subclasses name it `kavrano::ViewController`: QML's type registrar finds a
/// base class by its qualified name only.
class ViewController : public QObject {
  Q_OBJECT
  QML_ANONYMOUS
 public:
  explicit ViewController(QObject* parent = nullptr) : QObject(parent) {}

  /// The QML file that draws this screen.
  [[nodiscard]] virtual QUrl viewUrl() const = 0;

  /// Called each time the screen is about to come on screen, then once it has.
  virtual void viewWillAppear(bool animated) { (void)animated; }
  virtual void viewDidAppear(bool animated) { (void)animated; }

  /// The stack this screen is in, or null; set by the stack on push.
  [[nodiscard]] NavigationController* navigationController() const { return navigationController_; }
  void setNavigationController(NavigationController* stack) { navigationController_ = stack; }

 private:
  NavigationController* navigationController_ = nullptr;
};

/// A screen handed to a stack or presenter, which takes its controller over:
/// moved, never copied.
struct Screen {
  std::unique_ptr<ViewController> controller;
  /// Further initial properties of the view, beside `controller`.
  QVariantMap viewProperties;
  /// Runs once the view exists (its root object), before it first appears:
  /// where the app binds platform pieces (the map) into the view.
  std::function<void(QObject* view)> viewLoaded;
};

}  // namespace kavrano
