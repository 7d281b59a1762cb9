#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <memory>
#include <vector>

#include "kavrano/ui/alert_controller.h"
#include "kavrano/ui/feedback_form_presenter.h"
#include "kavrano/ui/navigation_controller.h"
#include "kavrano/ui/screen_presenter.h"

class QQmlEngine;

namespace kavrano {

/// Makes a screen's view: its QML file with the controller (and the screen's
/// further properties) set, then the screen's `viewLoaded`. A view that cannot be
/// made is a programming error and stops the program.
[[nodiscard]] QQuickItem* makeScreenView(QQmlEngine& engine, const Screen& screen, QQuickItem* parent);
/// The same for a controller owned elsewhere (the window's root screen).
[[nodiscard]] QQuickItem* makeScreenView(QQmlEngine& engine, ViewController& controller, QQuickItem* parent);

/// Lets assistive technology press the views' PlainButtons.
void registerQuickUiTypes();

/// Keeps `item` the size of its parent item.
void fillParent(QQuickItem* item);

/// Every view (QML file) in the resources under `folder`, as URLs.
[[nodiscard]] QList<QUrl> viewsIn(const QString& folder);

/// Compiles `views` on the engine's loading thread, with the modules they
/// import, so that the first screen that needs them opens without that wait.
/// The engine keeps what it compiled in its component cache (and the compiled
/// files on disk), until it is trimmed.
void compileInBackground(QQmlEngine& engine, const QList<QUrl>& views);

/// Presents over one screen inside `layer` (an item over the whole window):
/// screens full size with a cross-dissolve, alerts as a dimmed card. One at a time.
class QuickScreenPresenter final : public QObject, public ScreenPresenter {
  Q_OBJECT
 public:
  static constexpr int kDissolveMs = 250;  // the platform's full-screen cross-dissolve

  QuickScreenPresenter(QQmlEngine& engine, QQuickItem* layer, QObject* parent = nullptr);
  ~QuickScreenPresenter() override;

  void presentScreen(Screen screen, bool animated, std::function<void()> completion = {}) override;
  void presentAlert(std::shared_ptr<AlertController> alert, bool animated,
                    std::function<void()> completion = {}) override;
  [[nodiscard]] bool isPresenting() const override { return !presented_.isNull(); }
  void dismiss(bool animated, std::function<void()> completion = {}) override;

  /// The view shown now, or null (tests, screenshots).
  [[nodiscard]] QQuickItem* presentedView() const { return presented_; }

  /// The view of the screen presented over, when screens presented here cover
  /// it whole: it is taken off the window while covered, as a phone does, so
  /// frames do not draw it under the screen on top.
  void setCoveredView(QQuickItem* covered) { covered_ = covered; }

 private:
  QQmlEngine& engine_;
  QPointer<QQuickItem> layer_;
  QPointer<QQuickItem> presented_;
  QPointer<QObject> presentedController_;
  QPointer<QQuickItem> covered_;
  QPointer<QQuickItem> focusBefore_;  // the keyboard goes back there at the dismissal
};

/// An alert's view model: texts, buttons and fields for AlertView.qml. Pressing a
/// button dismisses the alert, then runs the button's handler.
class AlertViewController final : public kavrano::ViewController {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the presenter for each alert")
  Q_PROPERTY(QString title READ title CONSTANT)
  Q_PROPERTY(QString message READ message CONSTANT)
  Q_PROPERTY(QVariantList actions READ actions CONSTANT)
  Q_PROPERTY(QVariantList textFields READ textFields CONSTANT)
 public:
  AlertViewController(std::shared_ptr<AlertController> alert, ScreenPresenter& presenter);

  [[nodiscard]] QUrl viewUrl() const override {
    return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Ui/AlertView.qml"));
  }
  [[nodiscard]] QString title() const { return alert_->title; }
  [[nodiscard]] QString message() const { return alert_->message; }
  enum Style { DefaultStyle, CancelStyle, DestructiveStyle };
  Q_ENUM(Style)
  enum Capitalization { NoCapitalization, WordsCapitalized, SentencesCapitalized, AllCapitalized };
  Q_ENUM(Capitalization)

  /// {title, style: Style, enabled}
  [[nodiscard]] QVariantList actions() const;
  /// {placeholder, capitalization: Capitalization}
  [[nodiscard]] QVariantList textFields() const;

  /// An edit of field `index`; false when the field's delegate refused it.
  Q_INVOKABLE bool proposeEdit(int index, int start, int length, const QString& replacement);
  Q_INVOKABLE void press(int index);

 private:
  std::shared_ptr<AlertController> alert_;
  ScreenPresenter& presenter_;
  bool pressed_ = false;
};

/// Our feedback form: a card asking whether the user enjoys the app.
class FeedbackFormViewController final : public kavrano::ViewController {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the feedback form's presenter")
  Q_PROPERTY(QString applicationName READ applicationName CONSTANT)
 public:
  explicit FeedbackFormViewController(FeedbackFormDependencies dependencies) : dependencies_(std::move(dependencies)) {}
  [[nodiscard]] QUrl viewUrl() const override {
    return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Ui/FeedbackFormViewController.qml"));
  }
  [[nodiscard]] QString applicationName() const { return dependencies_.applicationName; }
  Q_INVOKABLE void answerPositive();
  Q_INVOKABLE void answerNegative();

 private:
  FeedbackFormDependencies dependencies_;
  bool answered_ = false;
};

class QuickFeedbackFormPresenter final : public FeedbackFormPresenter {
 public:
  void presentFrom(ScreenPresenter& host, FeedbackFormDependencies dependencies) override;
};

/// The app's navigation stack (MainNavigationController.qml): a bar with the top
/// screen's title and a back button over a StackView. Tells its screens when
/// they appear.
class MainNavigationController final : public kavrano::ViewController, public NavigationController {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the app as the root of its screens")
  Q_PROPERTY(bool navigationBarHidden READ isNavigationBarHidden NOTIFY navigationBarChanged)
  Q_PROPERTY(bool navigationBarAnimated READ navigationBarAnimated NOTIFY navigationBarChanged)
  Q_PROPERTY(int depth READ depth NOTIFY depthChanged)
 public:
  MainNavigationController(QQmlEngine& engine, Screen root);
  ~MainNavigationController() override;

  [[nodiscard]] QUrl viewUrl() const override {
    return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Ui/MainNavigationController.qml"));
  }
  /// The stack's view exists: the root screen's view goes in.
  void attachView(QQuickItem* view);

  void pushViewController(Screen screen, bool animated) override;
  void popViewController(bool animated) override;
  void setNavigationBarHidden(bool hidden, bool animated) override;
  [[nodiscard]] bool isNavigationBarHidden() const override { return barHidden_; }
  [[nodiscard]] bool navigationBarAnimated() const { return barAnimated_; }
  [[nodiscard]] int depth() const { return static_cast<int>(screens_.size()); }
  [[nodiscard]] ViewController* topViewController() const;

  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;

  /// The back button.
  Q_INVOKABLE void back() { popViewController(true); }
  /// The StackView finished a transition.
  Q_INVOKABLE void transitionFinished();

 signals:
  void navigationBarChanged();
  void depthChanged();

 private:
  struct Entry {
    std::unique_ptr<ViewController> controller;
    QPointer<QQuickItem> view;
  };
  void show(Entry& entry, bool animated);

  QQmlEngine& engine_;
  QPointer<QQuickItem> view_;
  std::vector<Entry> screens_;
  std::vector<Entry> leaving_;
  Screen pendingRoot_;
  QPointer<ViewController> awaitingDidAppear_;
  bool barHidden_ = false;
  bool barAnimated_ = false;
};

}  // namespace kavrano
