#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "commands.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/units.h"
#include "output_text.h"

namespace kavrano::cli {
namespace {

template <typename Unit, std::size_t N>
std::string symbolList(const std::array<Unit, N>& units) {
  std::string list;
  for (const auto unit : units) list += (list.empty() ? "" : ", ") + std::string(symbol(unit));
  return list;
}

/// The options shared by `area` and `length`, checked once all are read.
struct QuantityOptions {
  std::optional<std::string> unit;
  bool raw = false;
};

Result<std::vector<std::string>> readQuantityArguments(ArgumentReader& reader, const std::string& command,
                                                       QuantityOptions& options) {
  auto positionals = reader.readCommandArguments(command, [&](const std::string& option) -> Result<bool> {
    if (option == "--unit") return reader.readValue(option, options.unit);
    if (option == "--raw") {
      options.raw = true;
      return true;
    }
    return false;
  });
  if (positionals && options.raw && options.unit)
    return usageError(command + ": --raw always prints metres and takes no --unit");
  return positionals;
}

class AreaCommand final : public Command {
 public:
  AreaCommand(std::vector<Coordinate> ring, std::optional<AreaUnit> unit, bool raw)
      : ring_(std::move(ring)), unit_(unit), raw_(raw) {}

  Result<void> run(const Context& context) const override {
    const double area = MeasurementManager().polygonArea(ring_);
    if (raw_) {
      context.out << preciseNumber(area) << '\n';
    } else if (unit_) {
      context.out << UnitConverter::areaText(area, *unit_) << '\n';
    } else {
      context.out << UnitConverter::shared().areaText(area) << '\n';
    }
    return {};
  }

 private:
  std::vector<Coordinate> ring_;
  std::optional<AreaUnit> unit_;
  bool raw_;
};

class LengthCommand final : public Command {
 public:
  LengthCommand(Coordinate from, Coordinate to, std::optional<LengthUnit> unit, bool raw)
      : from_(from), to_(to), unit_(unit), raw_(raw) {}

  Result<void> run(const Context& context) const override {
    const double meters = MeasurementManager().distance(from_, to_);
    if (raw_) {
      context.out << preciseNumber(meters) << '\n';
    } else if (unit_) {
      context.out << UnitConverter::lengthText(meters, *unit_) << '\n';
    } else {
      context.out << UnitConverter::shared().lengthText(meters) << '\n';
    }
    return {};
  }

 private:
  Coordinate from_;
  Coordinate to_;
  std::optional<LengthUnit> unit_;
  bool raw_;
};

class MidpointCommand final : public Command {
 public:
  MidpointCommand(Coordinate a, Coordinate b) : a_(a), b_(b) {}

  Result<void> run(const Context& context) const override {
    const Coordinate middle = MeasurementManager().midpoint(a_, b_);
    if (std::isnan(middle.latitude) || std::isnan(middle.longitude)) {
      return commandFailure("the points are antipodal, so their midpoint is undefined");
    }
    context.out << preciseNumber(middle.latitude) << ',' << preciseNumber(middle.longitude) << '\n';
    return {};
  }

 private:
  Coordinate a_;
  Coordinate b_;
};

enum class UnitKind { length, area };

// The on-screen text of a value given in metres or square metres.
class TextCommand final : public Command {
 public:
  TextCommand(UnitKind kind, double value, std::optional<std::string> unit)
      : kind_(kind), value_(value), unit_(std::move(unit)) {}

  Result<void> run(const Context& context) const override {
    if (kind_ == UnitKind::length) {
      context.out << (unit_ ? UnitConverter::lengthText(value_, lengthUnitFromSymbol(*unit_))
                            : UnitConverter::shared().lengthText(value_))
                  << '\n';
    } else {
      context.out << (unit_ ? UnitConverter::areaText(value_, areaUnitFromSymbol(*unit_))
                            : UnitConverter::shared().areaText(value_))
                  << '\n';
    }
    return {};
  }

 private:
  UnitKind kind_;
  double value_;
  std::optional<std::string> unit_;
};

class ShowUnitsCommand final : public Command {
 public:
  Result<void> run(const Context& context) const override {
    auto& converter = UnitConverter::shared();
    context.out << "length: " << symbol(converter.selectedLengthUnit()) << '\n';
    context.out << "area: " << symbol(converter.selectedAreaUnit()) << '\n';
    return {};
  }
};

class SetUnitCommand final : public Command {
 public:
  SetUnitCommand(UnitKind kind, std::string symbol) : kind_(kind), symbol_(std::move(symbol)) {}

  Result<void> run(const Context& context) const override {
    auto& converter = UnitConverter::shared();
    const bool isLength = kind_ == UnitKind::length;
    auto stored = requireStored(isLength ? converter.setLengthUnit(symbol_) : converter.setAreaUnit(symbol_), context);
    if (!stored) return stored;
    const auto& key = isLength ? converter.lengthStorageKey : converter.areaStorageKey;
    context.out << (isLength ? "length: " : "area: ") << context.store.stringForKey(key).value_or("") << '\n';
    return {};
  }

 private:
  UnitKind kind_;
  std::string symbol_;
};

}  // namespace

ParsedCommand parseArea(ArgumentReader& reader) {
  QuantityOptions options;
  const auto positionals = readQuantityArguments(reader, "area", options);
  if (!positionals) return positionals.failure();
  std::optional<AreaUnit> unit;
  if (options.unit) {
    if (!isAreaSymbol(*options.unit)) {
      return usageError("unknown area unit " + quotedArgument(*options.unit) + " (one of " + symbolList(kAllAreaUnits) +
                        ")");
    }
    unit = areaUnitFromSymbol(*options.unit);
  }
  if (auto counted = requireCount("area", positionals.value(), 1, SIZE_MAX, "at least one coordinate LAT,LON");
      !counted)
    return counted.failure();
  auto ring = parseCoordinates(positionals.value());
  if (!ring) return ring.failure();
  return parsed<AreaCommand>(std::move(ring).value(), unit, options.raw);
}

ParsedCommand parseLength(ArgumentReader& reader) {
  QuantityOptions options;
  const auto positionals = readQuantityArguments(reader, "length", options);
  if (!positionals) return positionals.failure();
  std::optional<LengthUnit> unit;
  if (options.unit) {
    if (!isLengthSymbol(*options.unit)) {
      return usageError("unknown length unit " + quotedArgument(*options.unit) + " (one of " +
                        symbolList(kAllLengthUnits) + ")");
    }
    unit = lengthUnitFromSymbol(*options.unit);
  }
  if (auto counted = requireCount("length", positionals.value(), 2, 2, "two coordinates LAT,LON LAT,LON"); !counted)
    return counted.failure();
  const auto points = parseCoordinates(positionals.value());
  if (!points) return points.failure();
  return parsed<LengthCommand>(points.value()[0], points.value()[1], unit, options.raw);
}

ParsedCommand parseMidpoint(ArgumentReader& reader) {
  const auto positionals = readCountedArguments(reader, "midpoint", 2, 2, "two coordinates LAT,LON LAT,LON");
  if (!positionals) return positionals.failure();
  const auto points = parseCoordinates(positionals.value());
  if (!points) return points.failure();
  return parsed<MidpointCommand>(points.value()[0], points.value()[1]);
}

ParsedCommand parseUnits(ArgumentReader& reader) {
  const auto read = reader.readCommandArguments("units");
  if (!read) return read.failure();
  const auto& positionals = read.value();
  if (positionals.empty()) return parsed<ShowUnitsCommand>();
  const auto& kind = positionals[0];
  if (kind != "length" && kind != "area") {
    return usageError("unknown unit kind " + quotedArgument(kind) + " for units (length or area)");
  }
  if (auto counted = requireCount("units " + kind, positionals, 2, 2, "a unit symbol"); !counted)
    return counted.failure();
  // The store would take an unknown symbol as the default unit and replace the user's choice.
  const bool isLength = kind == "length";
  if (!(isLength ? isLengthSymbol(positionals[1]) : isAreaSymbol(positionals[1]))) {
    return usageError("unknown " + kind + " unit " + quotedArgument(positionals[1]) + " (one of " +
                      (isLength ? symbolList(kAllLengthUnits) : symbolList(kAllAreaUnits)) + ")");
  }
  return parsed<SetUnitCommand>(isLength ? UnitKind::length : UnitKind::area, positionals[1]);
}

ParsedCommand parseText(ArgumentReader& reader) {
  std::optional<std::string> unit;
  const auto read = reader.readCommandArguments("text", [&](const std::string& option) -> Result<bool> {
    if (option != "--unit") return false;
    return reader.readValue(option, unit);
  });
  if (!read) return read.failure();
  const auto& positionals = read.value();
  if (positionals.empty() || (positionals[0] != "length" && positionals[0] != "area")) {
    return usageError("text needs 'length METRES' or 'area SQUARE_METRES'");
  }
  const bool isLength = positionals[0] == "length";
  if (auto counted = requireCount("text " + positionals[0], positionals, 2, 2,
                                  isLength ? "a number of metres" : "a number of square metres");
      !counted)
    return counted.failure();
  const auto value = parseFiniteNumber(positionals[1]);
  if (!value) return usageError("not a finite number: " + quotedArgument(positionals[1]));
  if (unit && !(isLength ? isLengthSymbol(*unit) : isAreaSymbol(*unit))) {
    return usageError("unknown " + std::string(isLength ? "length" : "area") + " unit " + quotedArgument(*unit) +
                      " (one of " + (isLength ? symbolList(kAllLengthUnits) : symbolList(kAllAreaUnits)) + ")");
  }
  return parsed<TextCommand>(isLength ? UnitKind::length : UnitKind::area, *value, unit);
}

}  // namespace kavrano::cli
