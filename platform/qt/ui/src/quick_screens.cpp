#include "kavrano/qt_ui/quick_screens.h"

#include "kavrano/qt_ui/plain_button_accessible.h"

#include <QDirIterator>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimer>

namespace kavrano {

namespace {

/// Takes every touch and click over a view on its way out: the view no longer
/// acts on them, and the screen below must not get them before it is uncovered.
class InputShield final : public QQuickItem {
 public:
  explicit InputShield(QQuickItem* over) : QQuickItem(over->parentItem()) {
    setObjectName(QStringLiteral("inputShield"));
    setParent(over->parentItem());  // goes with the layer at the latest
    setAcceptedMouseButtons(Qt::AllButtons);
    setAcceptTouchEvents(true);
    stackAfter(over);
    fillParent(this);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void touchEvent(QTouchEvent* event) override { event->accept(); }
};

QQuickItem* makeView(QQmlEngine& engine, ViewController* controller, QVariantMap properties,
                     const std::function<void(QObject*)>& loaded, QQuickItem* parent) {
  QQmlEngine::setObjectOwnership(controller, QQmlEngine::CppOwnership);
  QQmlComponent component(&engine, controller->viewUrl());
  properties.insert(QStringLiteral("controller"), QVariant::fromValue<QObject*>(controller));
  // Made at its final size, the view lays out its texts once, not first at 0 × 0.
  if (parent) {
    properties.insert(QStringLiteral("width"), parent->width());
    properties.insert(QStringLiteral("height"), parent->height());
  }
  QObject* object = component.createWithInitialProperties(properties);
  auto* item = qobject_cast<QQuickItem*>(object);
  if (!item) {
    qFatal("Cannot make the view %s: %s", qPrintable(controller->viewUrl().toString()),
           qPrintable(component.errorString()));
  }
  QQmlEngine::setObjectOwnership(item, QQmlEngine::CppOwnership);
  item->setParent(parent);
  item->setParentItem(parent);
  fillParent(item);
  if (loaded) loaded(item);
  return item;
}

}  // namespace

QQuickItem* makeScreenView(QQmlEngine& engine, const Screen& screen, QQuickItem* parent) {
  return makeView(engine, screen.controller.get(), screen.viewProperties, screen.viewLoaded, parent);
}

QQuickItem* makeScreenView(QQmlEngine& engine, ViewController& controller, QQuickItem* parent) {
  return makeView(engine, &controller, {}, {}, parent);
}

void registerQuickUiTypes() { installPlainButtonAccessibility(); }

QList<QUrl> viewsIn(const QString& folder) {
  QList<QUrl> views;
  QDirIterator files(folder, {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) views << QUrl(QStringLiteral("qrc") + files.next());
  return views;
}

void compileInBackground(QQmlEngine& engine, const QList<QUrl>& views) {
  for (const QUrl& view : views) {
    auto* component = new QQmlComponent(&engine, view, QQmlComponent::Asynchronous, &engine);
    // Done, it goes: the engine's cache holds the compiled view until trimmed.
    QObject::connect(component, &QQmlComponent::statusChanged, component, [component](QQmlComponent::Status status) {
      if (status == QQmlComponent::Error) qWarning("%s", qPrintable(component->errorString()));
      if (status == QQmlComponent::Ready || status == QQmlComponent::Error) component->deleteLater();
    });
  }
}

void fillParent(QQuickItem* item) {
  QQuickItem* parent = item->parentItem();
  if (!parent) return;
  auto fit = [item, parent] { item->setSize(parent->size()); };
  fit();
  QObject::connect(parent, &QQuickItem::widthChanged, item, fit);
  QObject::connect(parent, &QQuickItem::heightChanged, item, fit);
}

// ---------------------------------------------------------------------------

QuickScreenPresenter::QuickScreenPresenter(QQmlEngine& engine, QQuickItem* layer, QObject* parent)
    : QObject(parent), engine_(engine), layer_(layer) {}

QuickScreenPresenter::~QuickScreenPresenter() {
  delete presented_.data();
  delete presentedController_.data();
}

void QuickScreenPresenter::presentScreen(Screen screen, bool animated, std::function<void()> completion) {
  if (presented_ || !layer_) {
    // Like the platform: a second presentation over the same screen is refused.
    qWarning("A screen is already presented here; %s is not shown",
             qPrintable(screen.controller->viewUrl().fileName()));
    return;
  }
  QQuickItem* view = makeScreenView(engine_, screen, layer_);
  // Owned from here as the presented view's controller, until the dismissal.
  ViewController* controller = screen.controller.release();
  // The keyboard goes to what is on top (an alert to its first field), never
  // to a field of the screen below.
  focusBefore_ = layer_->window() ? layer_->window()->activeFocusItem() : nullptr;
  view->forceActiveFocus(Qt::PopupFocusReason);
  presented_ = view;
  presentedController_ = controller;
  controller->viewWillAppear(animated);

  auto appeared = [controller = QPointer<ViewController>(controller), covered = covered_, animated,
                   completion = std::move(completion)] {
    if (covered) covered->setVisible(false);
    if (controller) controller->viewDidAppear(animated);
    if (completion) completion();
  };
  if (!animated) {
    if (covered_) covered_->setVisible(false);
    QTimer::singleShot(0, this, appeared);
    return;
  }
  view->setOpacity(0.0);
  auto* fade = new QPropertyAnimation(view, "opacity", view);
  fade->setEndValue(1.0);
  fade->setDuration(kDissolveMs);
  connect(fade, &QPropertyAnimation::finished, this, appeared);
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void QuickScreenPresenter::presentAlert(std::shared_ptr<AlertController> alert, bool animated,
                                        std::function<void()> completion) {
  presentScreen({std::make_unique<AlertViewController>(std::move(alert), *this), {}, {}}, animated,
                std::move(completion));
}

void QuickScreenPresenter::dismiss(bool animated, std::function<void()> completion) {
  QPointer<QQuickItem> view = presented_;
  QPointer<QObject> controller = presentedController_;
  presented_.clear();
  presentedController_.clear();
  if (covered_) covered_->setVisible(true);
  if (focusBefore_ && focusBefore_->isVisible() && focusBefore_->isEnabled()) {
    focusBefore_->forceActiveFocus(Qt::PopupFocusReason);
  }
  focusBefore_.clear();
  if (!view || !animated) {
    if (view) view->setVisible(false);  // gone at once; the completion still waits for the queue
    QTimer::singleShot(0, this, [view, controller, completion = std::move(completion)] {
      if (view) view->deleteLater();
      if (controller) controller->deleteLater();
      if (completion) completion();
    });
    return;
  }
  view->setEnabled(false);
  QPointer<QQuickItem> shield = new InputShield(view);
  connect(view, &QObject::destroyed, shield, &QObject::deleteLater);  // a fade cut short
  auto finish = [view, controller, shield, completion = std::move(completion)] {
    if (shield) shield->deleteLater();
    if (view) view->deleteLater();
    if (controller) controller->deleteLater();
    if (completion) completion();
  };
  auto* fade = new QPropertyAnimation(view, "opacity", this);
  fade->setEndValue(0.0);
  fade->setDuration(kDissolveMs);
  connect(fade, &QPropertyAnimation::finished, this, finish);
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

// ---------------------------------------------------------------------------

AlertViewController::AlertViewController(std::shared_ptr<AlertController> alert, ScreenPresenter& presenter)
    : alert_(std::move(alert)), presenter_(presenter) {
  // A shown field holds text, empty until typed into: an untouched title is the
  // empty title.
  for (const auto& field : alert_->textFields) {
    if (!field->text) field->text = QString();
  }
}

QVariantList AlertViewController::actions() const {
  QVariantList list;
  for (const auto& action : alert_->actions) {
    const Style style = action->style == AlertActionStyle::Cancel        ? CancelStyle
                        : action->style == AlertActionStyle::Destructive ? DestructiveStyle
                                                                         : DefaultStyle;
    list.push_back(QVariantMap{{QStringLiteral("title"), action->title},
                               {QStringLiteral("style"), static_cast<int>(style)},
                               {QStringLiteral("enabled"), action->enabled}});
  }
  return list;
}

QVariantList AlertViewController::textFields() const {
  QVariantList list;
  for (const auto& field : alert_->textFields) {
    const Capitalization caps = field->autocapitalization == TextAutocapitalization::Words       ? WordsCapitalized
                                : field->autocapitalization == TextAutocapitalization::Sentences ? SentencesCapitalized
                                : field->autocapitalization == TextAutocapitalization::AllCharacters ? AllCapitalized
                                                                                                     : NoCapitalization;
    list.push_back(QVariantMap{{QStringLiteral("placeholder"), field->placeholder},
                               {QStringLiteral("capitalization"), static_cast<int>(caps)}});
  }
  return list;
}

bool AlertViewController::proposeEdit(int index, int start, int length, const QString& replacement) {
  if (index < 0 || index >= static_cast<int>(alert_->textFields.size())) return false;
  return alert_->textFields[static_cast<std::size_t>(index)]->proposeEdit(start, length, replacement);
}

void AlertViewController::press(int index) {
  if (pressed_ || index < 0 || index >= static_cast<int>(alert_->actions.size())) return;
  pressed_ = true;
  auto action = alert_->actions[static_cast<std::size_t>(index)];
  // The alert is kept alive until its handler has read the fields.
  presenter_.dismiss(true, [action, alert = alert_] {
    if (action->handler) action->handler(*action);
  });
}

// ---------------------------------------------------------------------------

void FeedbackFormViewController::answerPositive() {
  if (answered_) return;
  answered_ = true;
  if (dependencies_.onPositiveFeedback) dependencies_.onPositiveFeedback();
}

void FeedbackFormViewController::answerNegative() {
  if (answered_) return;
  answered_ = true;
  if (dependencies_.onNegativeFeedback) dependencies_.onNegativeFeedback();
}

void QuickFeedbackFormPresenter::presentFrom(ScreenPresenter& host, FeedbackFormDependencies dependencies) {
  host.presentScreen({std::make_unique<FeedbackFormViewController>(std::move(dependencies)), {}, {}}, true);
}

// ---------------------------------------------------------------------------

MainNavigationController::MainNavigationController(QQmlEngine& engine, Screen root)
    : engine_(engine), pendingRoot_(std::move(root)) {}

MainNavigationController::~MainNavigationController() {
  // Views before their controllers: bindings still read them while going.
  for (auto it = screens_.rbegin(); it != screens_.rend(); ++it) delete it->view.data();
  for (Entry& entry : leaving_) delete entry.view.data();
}

void MainNavigationController::attachView(QQuickItem* view) {
  view_ = view;
  if (!pendingRoot_.controller) return;
  Screen root = std::move(pendingRoot_);
  pendingRoot_ = {};
  root.controller->setNavigationController(this);
  QQuickItem* rootView = makeScreenView(engine_, root, view_);
  Entry entry{std::move(root.controller), rootView};
  show(entry, false);
  screens_.push_back(std::move(entry));
  emit depthChanged();
}

void MainNavigationController::show(Entry& entry, bool animated) {
  QQuickItem* covered = screens_.empty() ? nullptr : screens_.back().view.data();
  QMetaObject::invokeMethod(view_, "pushView", Q_ARG(QVariant, QVariant::fromValue<QObject*>(entry.view.data())),
                            Q_ARG(QVariant, QVariant::fromValue<QObject*>(covered)), Q_ARG(QVariant, animated));
}

ViewController* MainNavigationController::topViewController() const {
  return screens_.empty() ? nullptr : screens_.back().controller.get();
}

void MainNavigationController::pushViewController(Screen screen, bool animated) {
  if (!view_) qFatal("MainNavigationController: push before the view exists");
  screen.controller->setNavigationController(this);
  QQuickItem* view = makeScreenView(engine_, screen, view_);
  Entry entry{std::move(screen.controller), view};
  entry.controller->viewWillAppear(animated);
  show(entry, animated);
  screens_.push_back(std::move(entry));
  emit depthChanged();
  awaitingDidAppear_ = topViewController();
  if (!animated) QTimer::singleShot(0, this, &MainNavigationController::transitionFinished);
}

void MainNavigationController::popViewController(bool animated) {
  if (screens_.size() <= 1 || !view_) return;
  Entry gone = std::move(screens_.back());
  screens_.pop_back();
  emit depthChanged();
  QMetaObject::invokeMethod(view_, "popView", Q_ARG(QVariant, QVariant::fromValue<QObject*>(gone.view.data())),
                            Q_ARG(QVariant, QVariant::fromValue<QObject*>(screens_.back().view.data())),
                            Q_ARG(QVariant, animated));
  // The StackView leaves items it did not make alone; they go once the pop is over.
  leaving_.push_back(std::move(gone));
  ViewController* top = topViewController();
  top->viewWillAppear(animated);
  awaitingDidAppear_ = top;
  if (!animated) QTimer::singleShot(0, this, &MainNavigationController::transitionFinished);
}

void MainNavigationController::transitionFinished() {
  for (Entry& entry : leaving_) {
    if (entry.view) entry.view->deleteLater();
    entry.controller.release()->deleteLater();
  }
  leaving_.clear();
  if (ViewController* top = awaitingDidAppear_.data()) {
    awaitingDidAppear_.clear();
    top->viewDidAppear(true);
  }
}

void MainNavigationController::setNavigationBarHidden(bool hidden, bool animated) {
  if (barHidden_ == hidden && barAnimated_ == animated) return;
  barHidden_ = hidden;
  barAnimated_ = animated;
  emit navigationBarChanged();
}

void MainNavigationController::viewWillAppear(bool animated) {
  if (ViewController* top = topViewController()) top->viewWillAppear(animated);
}

void MainNavigationController::viewDidAppear(bool animated) {
  if (ViewController* top = topViewController()) top->viewDidAppear(animated);
}

}  // namespace kavrano
