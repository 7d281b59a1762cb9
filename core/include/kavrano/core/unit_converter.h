#pragma once

#include <string>
#include <string_view>

#include "kavrano/core/preference_store.h"
#include "kavrano/core/units.h"

namespace kavrano {

/// The chosen units and the texts of lengths and areas. The choice lives only in
/// the preference store and is read afresh on every call, as is the locale, so a
/// change shows in the next text asked for.
class UnitConverter {
 public:
  /// The process-wide instance on the standard store, made on first use.
  [[nodiscard]] static UnitConverter& shared();

  /// Registers the default units with `store`.
  explicit UnitConverter(PreferenceStore& store);

  PreferenceStore& userDefaults;
  const std::string lengthStorageKey = "LENGTH_UNIT";
  const std::string areaStorageKey = "AREA_UNIT";

  void registerDefaultUnits();
  [[nodiscard]] LengthUnit selectedLengthUnit() const;
  [[nodiscard]] AreaUnit selectedAreaUnit() const;
  /// Stores the recognised unit's own symbol ("m" / "m²" for anything unrecognised).
  Result<void> setLengthUnit(std::string_view symbol);
  Result<void> setAreaUnit(std::string_view symbol);

  /// "1,234.57 m": `meters` in the chosen unit, at most two decimals, the user's locale.
  [[nodiscard]] std::string lengthText(double meters) const;
  [[nodiscard]] std::string areaText(double squareMeters) const;
  /// The same in a given unit, leaving the stored choice alone.
  [[nodiscard]] static std::string lengthText(double meters, LengthUnit unit);
  [[nodiscard]] static std::string areaText(double squareMeters, AreaUnit unit);
};

}  // namespace kavrano
