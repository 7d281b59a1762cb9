#include "kavrano/settings/unit_change_view_controller.h"

#include "kavrano/core/unit_converter.h"
#include "kavrano/core/units.h"

namespace kavrano {
namespace {

QString qSymbol(std::string_view symbol) {
  return QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size()));
}

}  // namespace

UnitChangeViewController::UnitChangeViewController(DisplayMode displayMode, QObject* parent)
    : ViewController(parent),
      displayMode_(displayMode),
      // The recognised unit's symbol, so an unknown stored text checks "m" / "m²".
      selectedSymbol_(displayMode == DisplayMode::length
                          ? qSymbol(symbol(UnitConverter::shared().selectedLengthUnit()))
                          : qSymbol(symbol(UnitConverter::shared().selectedAreaUnit()))) {}

QUrl UnitChangeViewController::viewUrl() const {
  return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Settings/UnitChangeViewController.qml"));
}

void UnitChangeViewController::viewDidLoad() { loadSymbols(); }

QString UnitChangeViewController::title() const {
  return displayMode_ == DisplayMode::length ? QStringLiteral("Length unit") : QStringLiteral("Area unit");
}

void UnitChangeViewController::loadSymbols() {
  symbols_.clear();
  if (displayMode_ == DisplayMode::length) {
    for (LengthUnit unit : kAllLengthUnits) symbols_ << qSymbol(symbol(unit));
  } else {
    for (AreaUnit unit : kAllAreaUnits) symbols_ << qSymbol(symbol(unit));
  }
  emit symbolsChanged();
}

void UnitChangeViewController::selectRow(int row) {
  if (row < 0 || row >= symbols_.size()) return;
  selectedSymbol_ = symbols_[row];
  emit selectedSymbolChanged();
  const QByteArray utf8 = selectedSymbol_.toUtf8();
  const std::string_view chosen(utf8.constData(), static_cast<size_t>(utf8.size()));
  if (displayMode_ == DisplayMode::area) {
    UnitConverter::shared().setAreaUnit(chosen);
  } else {
    UnitConverter::shared().setLengthUnit(chosen);
  }
}

}  // namespace kavrano
