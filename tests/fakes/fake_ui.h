#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <QUrl>
#include <memory>
#include <stdexcept>
#include <vector>

#include "kavrano/core/analytics.h"
#include "kavrano/ui/feedback_form_presenter.h"
#include "kavrano/ui/haptics.h"
#include "kavrano/ui/location_authorization.h"
#include "kavrano/ui/navigation_controller.h"
#include "kavrano/ui/screen_presenter.h"
#include "kavrano/ui/store_review.h"
#include "kavrano/ui/url_opener.h"

namespace kavrano {

/// One record of what the screen did, in order, shared by the fakes below, so
/// tests can check the order across services.
using Journal = QStringList;

template <class Interface>
class Journaled : public Interface {
 public:
  explicit Journaled(Journal& journal) : journal_(journal) {}

 protected:
  Journal& journal_;
};

/// The analytics service as "event <name>" lines.
class JournalEventRecorder final : public Journaled<AnalyticsService> {
 public:
  using Journaled::Journaled;
  void logEvent(const std::string& name) override { journal_ << "event " + QString::fromStdString(name); }
};

/// A screen with no view, standing for screens other layers deliver.
class FakeScreen final : public ViewController {
 public:
  explicit FakeScreen(QString name) : name(std::move(name)) {}
  [[nodiscard]] QUrl viewUrl() const override { return QUrl(QStringLiteral("qrc:/fake/") + name); }
  QString name;
};

class FakeNavigationController final : public Journaled<NavigationController> {
 public:
  using Journaled::Journaled;
  void pushViewController(Screen screen, bool animated) override {
    screen.controller->setNavigationController(this);
    journal_ << QStringLiteral("push %1 %2").arg(screen.controller->viewUrl().fileName()).arg(animated);
    stack.push_back(std::move(screen.controller));
  }
  void popViewController(bool animated) override {
    journal_ << QStringLiteral("pop %1").arg(animated);
    if (!stack.empty()) stack.pop_back();
  }
  void setNavigationBarHidden(bool hidden, bool animated) override {
    barHidden = hidden;
    journal_ << QStringLiteral("barHidden %1 %2").arg(hidden).arg(animated);
  }
  [[nodiscard]] bool isNavigationBarHidden() const override { return barHidden; }

  std::vector<std::unique_ptr<ViewController>> stack;  // above the root
  bool barHidden = false;
};

/// Presents at once; a dismissal takes the presented thing down at once and
/// keeps its completion for the test to run (the end of the animation).
class FakeScreenPresenter final : public Journaled<ScreenPresenter> {
 public:
  using Journaled::Journaled;
  void presentScreen(Screen screen, bool animated, std::function<void()> completion) override {
    journal_ << QStringLiteral("present %1 %2").arg(screen.controller->viewUrl().fileName()).arg(animated);
    screens.push_back(std::move(screen.controller));
    presented = true;
    if (completion) completion();
  }
  void presentAlert(std::shared_ptr<AlertController> alert, bool animated, std::function<void()> completion) override {
    journal_ << QStringLiteral("alert %1 %2").arg(alert->title).arg(animated);
    alerts.push_back(alert);
    presented = true;
    if (completion) completion();
  }
  [[nodiscard]] bool isPresenting() const override { return presented; }
  void dismiss(bool animated, std::function<void()> completion) override {
    journal_ << QStringLiteral("dismiss %1").arg(animated);
    presented = false;
    pendingDismissals.push_back(std::move(completion));
  }
  /// Ends the oldest dismissal still running.
  void finishDismissal() {
    ASSERT_FALSE(pendingDismissals.empty()) << "no dismissal is running";
    auto completion = std::move(pendingDismissals.front());
    pendingDismissals.erase(pendingDismissals.begin());
    if (completion) completion();
  }
  /// The user pressed the button titled `title` of the latest alert.
  void press(const QString& title) {
    presented = false;
    for (const auto& action : alerts.back()->actions) {
      if (action->title != title) continue;
      if (action->handler) action->handler(*action);
      return;
    }
    throw std::logic_error("no such button");
  }

  std::vector<std::shared_ptr<AlertController>> alerts;
  std::vector<std::unique_ptr<ViewController>> screens;
  std::vector<std::function<void()>> pendingDismissals;
  bool presented = false;
};

class FakeImpactFeedbackGenerator final : public Journaled<ImpactFeedbackGenerator> {
 public:
  using Journaled::Journaled;
  void prepare() override { journal_ << QStringLiteral("prepare"); }
  void impactOccurred() override { journal_ << QStringLiteral("tick"); }
};

/// Answers only when the test says so, through `report`.
class FakeLocationAuthorization final : public Journaled<LocationAuthorization> {
 public:
  using Journaled::Journaled;
  void requestWhenInUseAuthorization() override { journal_ << QStringLiteral("requestWhenInUse"); }
  [[nodiscard]] LocationAuthorizationStatus status() const override { return current; }
  /// The platform tells of the state `to` (it also does so once at set-up, unchanged).
  void report(LocationAuthorizationStatus to) {
    current = to;
    if (onChange) onChange(current);
  }

  LocationAuthorizationStatus current = LocationAuthorizationStatus::NotDetermined;
};

class FakeUrlOpener final : public UrlOpener {
 public:
  [[nodiscard]] bool canOpenUrl(const QUrl&) const override { return canOpen; }
  void openUrl(const QUrl& url) override { opened.push_back(url); }
  bool canOpen = true;
  std::vector<QUrl> opened;
};

class FakeStoreReviewController final : public Journaled<StoreReviewController> {
 public:
  using Journaled::Journaled;
  void requestReview() override { journal_ << QStringLiteral("requestReview"); }
};

/// Presents nothing itself; keeps what it was given so the test can answer.
class FakeFeedbackFormPresenter final : public Journaled<FeedbackFormPresenter> {
 public:
  using Journaled::Journaled;
  void presentFrom(ScreenPresenter& host, FeedbackFormDependencies dependencies) override {
    journal_ << QStringLiteral("feedbackForm %1").arg(dependencies.applicationName);
    host.presentScreen({std::make_unique<FakeScreen>(QStringLiteral("FeedbackForm")), {}, {}}, true);
    forms.push_back(std::move(dependencies));
  }
  std::vector<FeedbackFormDependencies> forms;
};

}  // namespace kavrano
