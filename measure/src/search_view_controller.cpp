#include "kavrano/measure/search_view_controller.h"

#include <QDebug>

namespace kavrano {

SearchViewController::SearchViewController(std::shared_ptr<PlaceSearchService> places, SearchPresentation& presentation,
                                           QObject* parent)
    : QObject(parent), manager_(std::move(places)), presentation_(presentation) {}

void SearchViewController::setDelegate(QObject* delegate) {
  if (delegate && !qobject_cast<SearchViewDelegate*>(delegate)) {
    qFatal("SearchViewController: the delegate does not implement SearchViewDelegate");
  }
  delegate_ = delegate;
}

SearchViewDelegate* SearchViewController::delegate() const { return qobject_cast<SearchViewDelegate*>(delegate_); }

void SearchViewController::updateSearchResults(const QString& text) {
  manager_.setSearchCompletion([self = QPointer<SearchViewController>(this)](const QList<PlaceSuggestion>& results) {
    if (self) self->locationSugestion_.setSuggestions(results);
  });
  manager_.searchCompleter().setDelegate(&manager_);
  manager_.searchCompleter().setQueryFragment(text);
}

void SearchViewController::didSelectRow(int row) {
  if (row < 0 || row >= locationSugestion_.rowCount()) return;
  // The list may be replaced while the search closes; the user chose what the
  // row showed at the tap.
  const PlaceSuggestion tapped = locationSugestion_.suggestions().at(row);
  presentation_.dismiss(true, [self = QPointer<SearchViewController>(this), tapped] {
    if (!self) return;
    if (SearchViewDelegate* delegate = self->delegate()) delegate->didSelectCompletion(tapped);
  });
}

}  // namespace kavrano
