#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace kavrano {

/// Titles as the rows of a list view. A new list changes only the rows that
/// differ from the old one (a delete removes one row), so the view keeps its
/// place instead of starting again from the top.
class TitleListModel final : public QAbstractListModel {
  Q_OBJECT
 public:
  enum Role { TitleRole = Qt::UserRole + 1 };

  using QAbstractListModel::QAbstractListModel;

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

  [[nodiscard]] const QStringList& titles() const { return titles_; }
  void setTitles(const QStringList& titles);

 private:
  QStringList titles_;
};

}  // namespace kavrano
