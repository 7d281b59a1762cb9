#pragma once

#include <QAbstractListModel>
#include <QList>

#include "kavrano/places/place_suggestion.h"

namespace kavrano {

/// The suggestions as a list for the view: roles `title` and `subtitle`.
class SearchSuggestionModel : public QAbstractListModel {
  Q_OBJECT
 public:
  enum Role { TitleRole = Qt::UserRole + 1, SubtitleRole };

  explicit SearchSuggestionModel(QObject* parent = nullptr);

  [[nodiscard]] const QList<PlaceSuggestion>& suggestions() const { return suggestions_; }
  /// Replaces the whole list and reloads the view.
  void setSuggestions(QList<PlaceSuggestion> suggestions);

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

 private:
  QList<PlaceSuggestion> suggestions_;
};

}  // namespace kavrano
