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

std::vector<std::string> readQuantityArguments(ArgumentReader& reader, const std::string& command,
                                               QuantityOptions& options) {
  auto positionals = reader.readCommandArguments(command, [&](const std::string& option) {
    if (option == "--unit") {
      options.unit = reader.optionValue(option);
      return true;
    }
    if (option == "--raw") {
      options.raw = true;
      return true;
    }
    return false;
  });
  if (options.raw && options.unit) throw UsageError(command + ": --raw always prints metres and takes no --unit");
  return positionals;
}

class AreaCommand final : public Command {
 public:
  AreaCommand(std::vector<Coordinate> ring, std::optional<AreaUnit> unit, bool raw)
      : ring_(std::move(ring)), unit_(unit), raw_(raw) {}

  void run(const Context& context) const override {
    const double area = MeasurementManager().polygonArea(ring_);
    if (raw_) {
      context.out << preciseNumber(area) << '\n';
    } else if (unit_) {
      context.out << UnitConverter::areaText(area, *unit_) << '\n';
    } else {
      context.out << UnitConverter::shared().areaText(area) << '\n';
    }
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

  void run(const Context& context) const override {
    const double meters = MeasurementManager().distance(from_, to_);
    if (raw_) {
      context.out << preciseNumber(meters) << '\n';
    } else if (unit_) {
      context.out << UnitConverter::lengthText(meters, *unit_) << '\n';
    } else {
      context.out << UnitConverter::shared().lengthText(meters) << '\n';
    }
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

  void run(const Context& context) const override {
    const Coordinate middle = MeasurementManager().midpoint(a_, b_);
    if (std::isnan(middle.latitude) || std::isnan(middle.longitude)) {
      throw CommandFailure("the points are antipodal, so their midpoint is undefined");
    }
    context.out << preciseNumber(middle.latitude) << ',' << preciseNumber(middle.longitude) << '\n';
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

  void run(const Context& context) const override {
    if (kind_ == UnitKind::length) {
      context.out << (unit_ ? UnitConverter::lengthText(value_, lengthUnitFromSymbol(*unit_))
                            : UnitConverter::shared().lengthText(value_))
                  << '\n';
    } else {
      context.out << (unit_ ? UnitConverter::areaText(value_, areaUnitFromSymbol(*unit_))
                            : UnitConverter::shared().areaText(value_))
                  << '\n';
    }
  }

 private:
  UnitKind kind_;
  double value_;
  std::optional<std::string> unit_;
};

class ShowUnitsCommand final : public Command {
 public:
  void run(const Context& context) const override {
    auto& converter = UnitConverter::shared();
    context.out << "length: " << symbol(converter.selectedLengthUnit()) << '\n';
    context.out << "area: " << symbol(converter.selectedAreaUnit()) << '\n';
  }
};

class SetUnitCommand final : public Command {
 public:
  SetUnitCommand(UnitKind kind, std::string symbol) : kind_(kind), symbol_(std::move(symbol)) {}

  void run(const Context& context) const override {
    auto& converter = UnitConverter::shared();
    const bool isLength = kind_ == UnitKind::length;
    requireStored(isLength ? converter.setLengthUnit(symbol_) : converter.setAreaUnit(symbol_), context);
    const auto& key = isLength ? converter.lengthStorageKey : converter.areaStorageKey;
    context.out << (isLength ? "length: " : "area: ") << context.store.stringForKey(key).value_or("") << '\n';
  }

 private:
  UnitKind kind_;
  std::string symbol_;
};

}  // namespace

std::unique_ptr<Command> parseArea(ArgumentReader& reader) {
  QuantityOptions options;
  const auto positionals = readQuantityArguments(reader, "area", options);
  std::optional<AreaUnit> unit;
  if (options.unit) {
    if (!isAreaSymbol(*options.unit)) {
      throw UsageError("unknown area unit " + quotedArgument(*options.unit) + " (one of " + symbolList(kAllAreaUnits) +
                       ")");
    }
    unit = areaUnitFromSymbol(*options.unit);
  }
  requireCount("area", positionals, 1, SIZE_MAX, "at least one coordinate LAT,LON");
  return std::make_unique<AreaCommand>(parseCoordinates(positionals), unit, options.raw);
}

std::unique_ptr<Command> parseLength(ArgumentReader& reader) {
  QuantityOptions options;
  const auto positionals = readQuantityArguments(reader, "length", options);
  std::optional<LengthUnit> unit;
  if (options.unit) {
    if (!isLengthSymbol(*options.unit)) {
      throw UsageError("unknown length unit " + quotedArgument(*options.unit) + " (one of " +
                       symbolList(kAllLengthUnits) + ")");
    }
    unit = lengthUnitFromSymbol(*options.unit);
  }
  requireCount("length", positionals, 2, 2, "two coordinates LAT,LON LAT,LON");
  const auto points = parseCoordinates(positionals);
  return std::make_unique<LengthCommand>(points[0], points[1], unit, options.raw);
}

std::unique_ptr<Command> parseMidpoint(ArgumentReader& reader) {
  const auto positionals = reader.readCommandArguments("midpoint", [](const std::string&) { return false; });
  requireCount("midpoint", positionals, 2, 2, "two coordinates LAT,LON LAT,LON");
  const auto points = parseCoordinates(positionals);
  return std::make_unique<MidpointCommand>(points[0], points[1]);
}

std::unique_ptr<Command> parseUnits(ArgumentReader& reader) {
  const auto positionals = reader.readCommandArguments("units", [](const std::string&) { return false; });
  if (positionals.empty()) return std::make_unique<ShowUnitsCommand>();
  const auto& kind = positionals[0];
  if (kind != "length" && kind != "area") {
    throw UsageError("unknown unit kind " + quotedArgument(kind) + " for units (length or area)");
  }
  requireCount("units " + kind, positionals, 2, 2, "a unit symbol");
  // The store would take an unknown symbol as the default unit and replace the user's choice.
  const bool isLength = kind == "length";
  if (!(isLength ? isLengthSymbol(positionals[1]) : isAreaSymbol(positionals[1]))) {
    throw UsageError("unknown " + kind + " unit " + quotedArgument(positionals[1]) + " (one of " +
                     (isLength ? symbolList(kAllLengthUnits) : symbolList(kAllAreaUnits)) + ")");
  }
  return std::make_unique<SetUnitCommand>(kind == "length" ? UnitKind::length : UnitKind::area, positionals[1]);
}

std::unique_ptr<Command> parseText(ArgumentReader& reader) {
  std::optional<std::string> unit;
  const auto positionals = reader.readCommandArguments("text", [&](const std::string& option) {
    if (option != "--unit") return false;
    unit = reader.optionValue(option);
    return true;
  });
  if (positionals.empty() || (positionals[0] != "length" && positionals[0] != "area")) {
    throw UsageError("text needs 'length METRES' or 'area SQUARE_METRES'");
  }
  const bool isLength = positionals[0] == "length";
  requireCount("text " + positionals[0], positionals, 2, 2,
               isLength ? "a number of metres" : "a number of square metres");
  const auto value = parseFiniteNumber(positionals[1]);
  if (!value) throw UsageError("not a finite number: " + quotedArgument(positionals[1]));
  if (unit && !(isLength ? isLengthSymbol(*unit) : isAreaSymbol(*unit))) {
    throw UsageError("unknown " + std::string(isLength ? "length" : "area") + " unit " + quotedArgument(*unit) +
                     " (one of " + (isLength ? symbolList(kAllLengthUnits) : symbolList(kAllAreaUnits)) + ")");
  }
  return std::make_unique<TextCommand>(isLength ? UnitKind::length : UnitKind::area, *value, unit);
}

}  // namespace kavrano::cli
