#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QAbstractItemModel>
#include <QObject>
#include <QPointer>
#include <memory>

#include "kavrano/measure/location_manager.h"
#include "kavrano/measure/search_suggestion_model.h"
#include "kavrano/measure/search_view_delegate.h"
#include "kavrano/places/place_search_service.h"
#include "kavrano/places/search_presentation.h"

namespace kavrano {

/// The place search's results screen: suggestions for the typed text as a list
/// of title over subtitle, and the chosen one handed to the delegate once the
/// search has closed. Its view is SearchViewController.qml.
class SearchViewController : public QObject {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the app with its services")
  Q_PROPERTY(QAbstractItemModel* suggestions READ suggestions CONSTANT)
  Q_PROPERTY(qreal rowHeight READ rowHeight CONSTANT)
  Q_PROPERTY(qreal contentInsetTop READ contentInsetTop CONSTANT)
 public:
  /// `presentation` is the search this screen shows in; it must outlive the screen.
  SearchViewController(std::shared_ptr<PlaceSearchService> places, SearchPresentation& presentation,
                       QObject* parent = nullptr);

  [[nodiscard]] QAbstractItemModel* suggestions() { return &locationSugestion_; }
  [[nodiscard]] const QList<PlaceSuggestion>& locationSugestion() const { return locationSugestion_.suggestions(); }
  [[nodiscard]] LocationManager& manager() { return manager_; }

  // Points (device-independent pixels). The bottom inset, half the screen's
  // height, is the view's: only it knows the screen.
  [[nodiscard]] static constexpr qreal rowHeight() { return 60; }
  [[nodiscard]] static constexpr qreal contentInsetTop() { return 60; }

  /// Held weakly: a QObject implementing SearchViewDelegate, or null.
  void setDelegate(QObject* delegate);
  [[nodiscard]] SearchViewDelegate* delegate() const;

  /// The search text changed (or the search became active): ask for new suggestions.
  Q_INVOKABLE void updateSearchResults(const QString& text);
  /// A row was tapped: close the search, then report the suggestion of that row.
  Q_INVOKABLE void didSelectRow(int row);

 private:
  LocationManager manager_;
  SearchSuggestionModel locationSugestion_;
  QPointer<QObject> delegate_;
  SearchPresentation& presentation_;
};

}  // namespace kavrano
