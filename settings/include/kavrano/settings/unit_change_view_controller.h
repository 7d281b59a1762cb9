#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>
#include <QStringList>

#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// Every unit of one kind by symbol, the chosen one checked; a touch stores the
/// new choice at once. Its view is UnitChangeViewController.qml.
class UnitChangeViewController final : public kavrano::ViewController {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the app with its services")
  Q_PROPERTY(QString title READ title CONSTANT)
  Q_PROPERTY(QStringList symbols READ symbols NOTIFY symbolsChanged)
  Q_PROPERTY(QString selectedSymbol READ selectedSymbol NOTIFY selectedSymbolChanged)

 public:
  enum class DisplayMode { length, area };
  Q_ENUM(DisplayMode)

  explicit UnitChangeViewController(DisplayMode displayMode, QObject* parent = nullptr);

  [[nodiscard]] QUrl viewUrl() const override;

  /// The view exists: lists the symbols.
  void viewDidLoad();

  Q_INVOKABLE void selectRow(int row);

  [[nodiscard]] DisplayMode displayMode() const { return displayMode_; }
  [[nodiscard]] QString title() const;
  [[nodiscard]] QStringList symbols() const { return symbols_; }
  [[nodiscard]] QString selectedSymbol() const { return selectedSymbol_; }

 signals:
  void symbolsChanged();
  void selectedSymbolChanged();

 private:
  void loadSymbols();

  const DisplayMode displayMode_;
  QString selectedSymbol_;
  QStringList symbols_;
};

}  // namespace kavrano
