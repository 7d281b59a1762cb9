#include "kavrano/core/units.h"

#include <algorithm>

namespace kavrano {
namespace {

struct LengthRow {
  LengthUnit unit;
  std::string_view symbol;
  double metersPerUnit;
};
struct AreaRow {
  AreaUnit unit;
  std::string_view symbol;
  double squareMetersPerUnit;
};

// Coefficients of the reference platform's length and area unit classes, so that
// texts match it digit for digit (hence 1609.34, not the exact 1609.344).
constexpr std::array<LengthRow, 7> kLengthRows{{
    {LengthUnit::centimeters, "cm", 0.01},
    {LengthUnit::meters, "m", 1.0},
    {LengthUnit::kilometers, "km", 1000.0},
    {LengthUnit::inches, "in", 0.0254},
    {LengthUnit::feet, "ft", 0.3048},
    {LengthUnit::yards, "yd", 0.9144},
    {LengthUnit::miles, "mi", 1609.34},
}};

// Listed in recognition order ("ac" before "ha"); the enum holds the display order.
constexpr std::array<AreaRow, 8> kAreaRows{{
    {AreaUnit::squareMeters, "m\u00B2", 1.0},
    {AreaUnit::squareKilometers, "km\u00B2", 1000000.0},
    {AreaUnit::squareFeet, "ft\u00B2", 0.092903},
    {AreaUnit::squareYards, "yd\u00B2", 0.836127},
    {AreaUnit::squareMiles, "mi\u00B2", 2590000.0},
    {AreaUnit::ares, "a", 100.0},
    {AreaUnit::acres, "ac", 4046.86},
    {AreaUnit::hectares, "ha", 10000.0},
}};

const LengthRow& row(LengthUnit unit) {
  return *std::find_if(kLengthRows.begin(), kLengthRows.end(), [unit](const LengthRow& r) { return r.unit == unit; });
}
const AreaRow& row(AreaUnit unit) {
  return *std::find_if(kAreaRows.begin(), kAreaRows.end(), [unit](const AreaRow& r) { return r.unit == unit; });
}

const LengthRow* findLength(std::string_view text) {
  auto it =
      std::find_if(kLengthRows.begin(), kLengthRows.end(), [text](const LengthRow& r) { return r.symbol == text; });
  return it == kLengthRows.end() ? nullptr : &*it;
}
const AreaRow* findArea(std::string_view text) {
  auto it = std::find_if(kAreaRows.begin(), kAreaRows.end(), [text](const AreaRow& r) { return r.symbol == text; });
  return it == kAreaRows.end() ? nullptr : &*it;
}

}  // namespace

std::string_view symbol(LengthUnit unit) { return row(unit).symbol; }
std::string_view symbol(AreaUnit unit) { return row(unit).symbol; }
double metersPerUnit(LengthUnit unit) { return row(unit).metersPerUnit; }
double squareMetersPerUnit(AreaUnit unit) { return row(unit).squareMetersPerUnit; }

LengthUnit lengthUnitFromSymbol(std::string_view text) {
  const LengthRow* found = findLength(text);
  return found ? found->unit : LengthUnit::meters;
}
AreaUnit areaUnitFromSymbol(std::string_view text) {
  const AreaRow* found = findArea(text);
  return found ? found->unit : AreaUnit::squareMeters;
}
bool isLengthSymbol(std::string_view text) { return findLength(text) != nullptr; }
bool isAreaSymbol(std::string_view text) { return findArea(text) != nullptr; }

}  // namespace kavrano
