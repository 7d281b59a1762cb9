#pragma once

#include <array>
#include <string_view>

namespace kavrano {

/// Length units in the order the unit screen lists them.
enum class LengthUnit { centimeters, meters, kilometers, inches, feet, yards, miles };

/// Area units in the order the unit screen lists them (hectares before acres).
enum class AreaUnit { squareMeters, squareKilometers, squareFeet, squareYards, squareMiles, ares, hectares, acres };

inline constexpr std::array kAllLengthUnits{LengthUnit::centimeters, LengthUnit::meters, LengthUnit::kilometers,
                                            LengthUnit::inches,      LengthUnit::feet,   LengthUnit::yards,
                                            LengthUnit::miles};
inline constexpr std::array kAllAreaUnits{AreaUnit::squareMeters, AreaUnit::squareKilometers,
                                          AreaUnit::squareFeet,   AreaUnit::squareYards,
                                          AreaUnit::squareMiles,  AreaUnit::ares,
                                          AreaUnit::hectares,     AreaUnit::acres};

/// The unit's symbol: what is stored and what is shown ("m²" carries U+00B2).
[[nodiscard]] std::string_view symbol(LengthUnit unit);
[[nodiscard]] std::string_view symbol(AreaUnit unit);

/// Metres per unit and square metres per unit (the platform's conversion coefficients).
[[nodiscard]] double metersPerUnit(LengthUnit unit);
[[nodiscard]] double squareMetersPerUnit(AreaUnit unit);

/// Exact, case-sensitive match against the symbols; anything else is metres /
/// square metres. Never fails.
[[nodiscard]] LengthUnit lengthUnitFromSymbol(std::string_view text);
[[nodiscard]] AreaUnit areaUnitFromSymbol(std::string_view text);

/// Whether `text` is exactly one of the symbols (for callers that must reject typos).
[[nodiscard]] bool isLengthSymbol(std::string_view text);
[[nodiscard]] bool isAreaSymbol(std::string_view text);

}  // namespace kavrano
