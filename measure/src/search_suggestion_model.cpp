#include "kavrano/measure/search_suggestion_model.h"

namespace kavrano {

SearchSuggestionModel::SearchSuggestionModel(QObject* parent) : QAbstractListModel(parent) {}

void SearchSuggestionModel::setSuggestions(QList<PlaceSuggestion> suggestions) {
  beginResetModel();
  suggestions_ = std::move(suggestions);
  endResetModel();
}

int SearchSuggestionModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(suggestions_.size());
}

QVariant SearchSuggestionModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const PlaceSuggestion& s = suggestions_.at(index.row());
  switch (role) {
    case TitleRole:
    case Qt::DisplayRole:
      return s.title;
    case SubtitleRole:
      return s.subtitle;
    default:
      return {};
  }
}

QHash<int, QByteArray> SearchSuggestionModel::roleNames() const {
  return {{TitleRole, "title"}, {SubtitleRole, "subtitle"}};
}

}  // namespace kavrano
