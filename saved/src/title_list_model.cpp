#include "kavrano/saved/title_list_model.h"

#include <algorithm>

namespace kavrano {

int TitleListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant TitleListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  if (role != TitleRole && role != Qt::DisplayRole) return {};
  return titles_.at(index.row());
}

QHash<int, QByteArray> TitleListModel::roleNames() const { return {{TitleRole, "title"}}; }

void TitleListModel::setTitles(const QStringList& titles) {
  // The rows both lists share at the start and at the end stay; the middle of
  // the old list is removed and the middle of the new one inserted.
  const qsizetype shorter = std::min(titles_.size(), titles.size());
  qsizetype head = 0;
  while (head < shorter && titles_[head] == titles[head]) ++head;
  qsizetype tail = 0;
  while (tail < shorter - head && titles_[titles_.size() - 1 - tail] == titles[titles.size() - 1 - tail]) ++tail;

  const int first = static_cast<int>(head);
  if (const int gone = static_cast<int>(titles_.size() - head - tail); gone > 0) {
    beginRemoveRows({}, first, first + gone - 1);
    titles_.remove(head, gone);
    endRemoveRows();
  }
  if (const int added = static_cast<int>(titles.size() - head - tail); added > 0) {
    beginInsertRows({}, first, first + added - 1);
    for (int i = 0; i < added; ++i) titles_.insert(head + i, titles[head + i]);
    endInsertRows();
  }
}

}  // namespace kavrano
