#include "kavrano/qt_places/quick_search_presentation.h"

#include <QTimer>

namespace kavrano {

QuickSearchPresentation::QuickSearchPresentation(QObject* parent) : QObject(parent) {}

void QuickSearchPresentation::setActive(bool active) {
  if (active_ == active) return;
  active_ = active;
  emit activeChanged();
}

void QuickSearchPresentation::dismiss(bool animated, std::function<void()> completion) {
  setActive(false);
  QTimer::singleShot(animated ? kClosingDurationMs : 0, this, [completion = std::move(completion)] {
    if (completion) completion();
  });
}

}  // namespace kavrano
