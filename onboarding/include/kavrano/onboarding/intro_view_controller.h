#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <functional>

#include "kavrano/ui/haptics.h"
#include "kavrano/ui/image_source.h"
#include "kavrano/ui/location_authorization.h"
#include "kavrano/ui/scheduler.h"
#include "kavrano/ui/screen_presenter.h"
#include "kavrano/ui/view_controller.h"
#include "kavrano/ui/view_transition.h"

namespace kavrano {

/// Everything the introduction reaches outside itself. All must outlive it.
struct IntroServices {
  /// Presents over this screen: the main screen goes there.
  ScreenPresenter& presenter;
  /// The intro's own, used only for the permission request after the last page.
  LocationAuthorization& locationAuthorization;
  /// A light impact on every page turn.
  ImpactFeedbackGenerator& feedbackGenerator;
  Scheduler& scheduler;
  ImageSource& images;
  /// Makes the main navigation with the measuring screen as its root.
  std::function<Screen()> makeMainScreen;
};

/// The first screen of every start and the window's root for the whole run. The
/// first time, four pages on a card, one per press, then the permission to use
/// the position; once answered, "DID_SHOW_INTRO" is recorded and the main screen
/// presented over it. Later starts present the main screen at once. Its view is
/// IntroViewController.qml.
class IntroViewController final : public kavrano::ViewController {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the app with its services")
  Q_PROPERTY(bool cardVisible READ cardVisible NOTIFY pageChanged)
  Q_PROPERTY(QString cardTitle READ cardTitle NOTIFY pageChanged)
  Q_PROPERTY(QString cardDescription READ cardDescription NOTIFY pageChanged)
  Q_PROPERTY(QVariant image READ image NOTIFY pageChanged)
  Q_PROPERTY(qreal imageHeight READ imageHeight NOTIFY pageChanged)
  Q_PROPERTY(QString actionTitle READ actionTitle NOTIFY pageChanged)
  Q_PROPERTY(bool actionEnabled READ actionEnabled NOTIFY pageChanged)
  Q_PROPERTY(int currentIndex READ currentIndex NOTIFY pageChanged)
  Q_PROPERTY(int pageCount READ pageCount CONSTANT)
  Q_PROPERTY(bool lightStatusBarContent READ lightStatusBarContent CONSTANT)

 public:
  static constexpr int kPageCount = 4;
  static constexpr double kTransitionSeconds = 0.25;
  static constexpr qreal kTurnedImageHeight = 168;
  static const QStringList titles;
  static const QStringList descriptions;

  /// Builds the animated pictures now, as the screen is made.
  explicit IntroViewController(IntroServices services, QObject* parent = nullptr);

  [[nodiscard]] QUrl viewUrl() const override;

  /// The view exists; `transition` cross-dissolves the whole of it.
  void viewDidLoad(ViewTransition transition);
  void viewDidAppear(bool animated) override;

  /// The action button.
  Q_INVOKABLE void actionButtonTapped();

  [[nodiscard]] bool cardVisible() const { return cardVisible_; }
  [[nodiscard]] QString cardTitle() const { return cardTitle_; }
  [[nodiscard]] QString cardDescription() const { return cardDescription_; }
  [[nodiscard]] QVariant image() const { return image_; }
  /// 0 until the first page turn: the view's own height.
  [[nodiscard]] qreal imageHeight() const { return imageHeight_; }
  /// Empty until the last page: the view's own title.
  [[nodiscard]] QString actionTitle() const { return actionTitle_; }
  [[nodiscard]] bool actionEnabled() const { return actionEnabled_; }
  /// 0 to 3 on the pages, 4 once the last one is confirmed.
  [[nodiscard]] int currentIndex() const { return currentIndex_; }
  [[nodiscard]] static int pageCount() { return kPageCount; }
  /// Light text in the status bar, over the dark background.
  [[nodiscard]] static bool lightStatusBarContent() { return true; }
  [[nodiscard]] const QVariantList& images() const { return images_; }

 signals:
  void pageChanged();

 private:
  void showCurrentPage();
  void advancePage();
  void finishIntroduction();
  void presentMainScreen(bool animated);

  IntroServices services_;
  ViewTransition transition_;
  QVariantList images_;
  int currentIndex_ = 0;
  bool cardVisible_ = false;
  QString cardTitle_;
  QString cardDescription_;
  QVariant image_;
  qreal imageHeight_ = 0;
  QString actionTitle_;
  bool actionEnabled_ = true;
  bool presentedMain_ = false;
};

}  // namespace kavrano
