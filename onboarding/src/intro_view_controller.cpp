#include "kavrano/onboarding/intro_view_controller.h"

#include <QPointer>

#include "kavrano/core/user_settings.h"

namespace kavrano {

const QStringList IntroViewController::titles = {
    QStringLiteral("Welcome to Kavrano"),
    QStringLiteral("Measure Length"),
    QStringLiteral("Measure Area"),
    QStringLiteral("Measurement Units"),
};

const QStringList IntroViewController::descriptions = {
    QStringLiteral("Kavrano allows you to take length and area measurements using satellite maps with ease."),
    QStringLiteral("To measure length, simply touch two regions of the map to form a straight line with the "
                   "measurement."),
    QStringLiteral("To measure area, add three or more regions to form a closed space and calculate the "
                   "measurement."),
    QStringLiteral("Kavrano is compatible with multiple measurement units. You can change the default units on the "
                   "Settings menu."),
};

IntroViewController::IntroViewController(IntroServices services, QObject* parent)
    : ViewController(parent), services_(std::move(services)) {
  images_ = {services_.images.image(QStringLiteral("logoCornerRadius")),
             services_.images.animatedImage(QStringLiteral("intro1")),
             services_.images.animatedImage(QStringLiteral("intro2")),
             services_.images.image(QStringLiteral("intro3"))};
}

QUrl IntroViewController::viewUrl() const {
  return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Onboarding/IntroViewController.qml"));
}

void IntroViewController::viewDidLoad(ViewTransition transition) {
  if (!transition) qFatal("IntroViewController: the view has no transition");
  transition_ = std::move(transition);
  const QPointer<IntroViewController> self(this);
  // The platform reports once at set-up and again after an answer; the queue
  // hop lets the report come from anywhere.
  services_.locationAuthorization.onChange = [self](LocationAuthorizationStatus) {
    if (!self) return;
    self->services_.scheduler.schedule(self.data(), std::chrono::milliseconds(0), [self] {
      if (self) self->finishIntroduction();
    });
  };
  services_.feedbackGenerator.prepare();
  cardVisible_ = false;
  emit pageChanged();
}

void IntroViewController::viewDidAppear(bool animated) {
  ViewController::viewDidAppear(animated);
  if (UserSettings::shared().didShowIntro()) {
    presentMainScreen(false);
    return;
  }
  showCurrentPage();
  const QPointer<IntroViewController> self(this);
  transition_(kTransitionSeconds, [self] {
    if (!self) return;
    self->cardVisible_ = true;
    emit self->pageChanged();
  });
}

void IntroViewController::actionButtonTapped() {
  // The button is disabled once the last page is confirmed.
  if (currentIndex_ >= kPageCount || !actionEnabled_) return;
  advancePage();
}

void IntroViewController::showCurrentPage() {
  if (currentIndex_ >= kPageCount) return;
  cardTitle_ = titles.at(currentIndex_);
  cardDescription_ = descriptions.at(currentIndex_);
  image_ = images_.at(currentIndex_);
  if (currentIndex_ == kPageCount - 1) actionTitle_ = QStringLiteral("Start");
  emit pageChanged();
}

void IntroViewController::advancePage() {
  ++currentIndex_;
  services_.feedbackGenerator.impactOccurred();
  const QPointer<IntroViewController> self(this);
  transition_(kTransitionSeconds, [self] {
    if (!self) return;
    self->imageHeight_ = kTurnedImageHeight;
    self->showCurrentPage();
    emit self->pageChanged();
  });
  if (currentIndex_ != kPageCount) return;
  actionEnabled_ = false;
  emit pageChanged();
  // Decided before (here, or in an earlier run's measuring screen): the platform
  // sends no new report, so the answer is already in.
  if (services_.locationAuthorization.status() != LocationAuthorizationStatus::NotDetermined) {
    finishIntroduction();
    return;
  }
  services_.locationAuthorization.requestWhenInUseAuthorization();
}

void IntroViewController::finishIntroduction() {
  if (currentIndex_ < kPageCount) return;  // the report at set-up
  UserSettings::shared().setDidShowIntro(true);
  presentMainScreen(true);
}

void IntroViewController::presentMainScreen(bool animated) {
  if (presentedMain_) return;  // it stays over this screen for the rest of the run
  presentedMain_ = true;
  services_.presenter.presentScreen(services_.makeMainScreen(), animated);
}

}  // namespace kavrano
