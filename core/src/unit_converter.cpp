#include "kavrano/core/unit_converter.h"

#include "kavrano/core/number_text.h"

namespace kavrano {
namespace {

std::string withSymbol(std::string number, std::string_view symbol) {
  number += ' ';
  number += symbol;
  return number;
}

}  // namespace

UnitConverter& UnitConverter::shared() {
  static UnitConverter instance(PreferenceStore::standard());
  return instance;
}

UnitConverter::UnitConverter(PreferenceStore& store) : userDefaults(store) { registerDefaultUnits(); }

void UnitConverter::registerDefaultUnits() {
  userDefaults.registerDefaults({{lengthStorageKey, std::string(symbol(LengthUnit::meters))},
                                 {areaStorageKey, std::string(symbol(AreaUnit::squareMeters))}});
}

LengthUnit UnitConverter::selectedLengthUnit() const {
  return lengthUnitFromSymbol(userDefaults.stringForKey(lengthStorageKey).value_or("m"));
}

AreaUnit UnitConverter::selectedAreaUnit() const {
  return areaUnitFromSymbol(userDefaults.stringForKey(areaStorageKey).value_or("m\u00B2"));
}

Result<void> UnitConverter::setLengthUnit(std::string_view text) {
  return userDefaults.setString(std::string(symbol(lengthUnitFromSymbol(text))), lengthStorageKey);
}

Result<void> UnitConverter::setAreaUnit(std::string_view text) {
  return userDefaults.setString(std::string(symbol(areaUnitFromSymbol(text))), areaStorageKey);
}

std::string UnitConverter::lengthText(double meters) const { return lengthText(meters, selectedLengthUnit()); }
std::string UnitConverter::areaText(double squareMeters) const { return areaText(squareMeters, selectedAreaUnit()); }

std::string UnitConverter::lengthText(double meters, LengthUnit unit) {
  return withSymbol(decimalText(meters / metersPerUnit(unit), userNumberLocale()), symbol(unit));
}

std::string UnitConverter::areaText(double squareMeters, AreaUnit unit) {
  return withSymbol(decimalText(squareMeters / squareMetersPerUnit(unit), userNumberLocale()), symbol(unit));
}

}  // namespace kavrano
