#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "commands.h"
#include "kavrano/core/local_event_store.h"
#include "kavrano/core/measurement_geometry.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/reference_date.h"
#include "kavrano/core/uuid.h"
#include "output_text.h"

namespace kavrano::cli {
namespace {

bool containsId(const std::vector<PersistedMeasurement>& list, const std::string& id) {
  return std::any_of(list.begin(), list.end(), [&](const auto& record) { return record.id == id; });
}

// The middle of the points' bounding box. Its east-west extent is the shorter way
// round: the circle of longitudes minus the widest gap between two of them, so
// points on both sides of ±180° get a centre near 180°, not on the far side.
PersistedAnnotationCenter boundingBoxCenter(const std::vector<Coordinate>& points) {
  auto [south, north] = std::minmax_element(points.begin(), points.end(),
                                            [](const auto& a, const auto& b) { return a.latitude < b.latitude; });
  std::vector<double> longitudes;
  longitudes.reserve(points.size());
  for (const auto& point : points) longitudes.push_back(point.longitude);
  std::sort(longitudes.begin(), longitudes.end());
  // The gap across ±180° first: from the easternmost round to the westernmost.
  double widestGap = longitudes.front() + 360.0 - longitudes.back();
  double west = longitudes.front();
  for (std::size_t i = 1; i < longitudes.size(); ++i) {
    if (longitudes[i] - longitudes[i - 1] > widestGap) {
      widestGap = longitudes[i] - longitudes[i - 1];
      west = longitudes[i];
    }
  }
  double middle = west + (360.0 - widestGap) / 2.0;
  if (middle > 180.0) middle -= 360.0;
  return {(south->latitude + north->latitude) / 2.0, middle};
}

class SaveCommand final : public Command {
 public:
  SaveCommand(std::string title, std::vector<Coordinate> points, std::optional<Coordinate> center)
      : title_(std::move(title)), points_(std::move(points)), center_(center) {}

  Result<void> run(const Context& context) const override {
    PersistedMeasurement record;
    record.id = makeUuidString();
    record.date = secondsSinceReferenceDateNow();
    record.annotations = annotationsOf(points_);
    record.title = title_;
    record.center =
        center_ ? PersistedAnnotationCenter{center_->latitude, center_->longitude} : boundingBoxCenter(points_);
    if (auto stored = requireStored(PersistanceManager().appendMeasurement(record), context); !stored) return stored;
    context.out << record.id << '\n';
    return {};
  }

 private:
  std::string title_;
  std::vector<Coordinate> points_;
  std::optional<Coordinate> center_;
};

class ListCommand final : public Command {
 public:
  Result<void> run(const Context& context) const override {
    for (const auto& record : PersistanceManager().loadMeasurements()) {
      context.out << escapedForLine(record.id) << '\t' << iso8601Utc(record.date) << '\t' << record.annotations.size()
                  << '\t' << escapedForLine(record.title) << '\n';
    }
    return {};
  }
};

class DeleteCommand final : public Command {
 public:
  explicit DeleteCommand(std::string id) : id_(std::move(id)) {}

  Result<void> run(const Context& context) const override {
    PersistanceManager manager;
    if (!containsId(manager.loadMeasurements(), id_)) {
      return commandFailure("no saved measurement has the id " + quotedArgument(id_));
    }
    PersistedMeasurement record;
    record.id = id_;
    return requireStored(manager.deleteMeasurement(record), context);
  }

 private:
  std::string id_;
};

class EventsCommand final : public Command {
 public:
  Result<void> run(const Context& context) const override {
    for (const auto& event : LocalEventStore::read(context.dataDirectory)) {
      context.out << escapedForLine(event.time) << '\t' << escapedForLine(event.name) << '\n';
    }
    return {};
  }
};

}  // namespace

ParsedCommand parseSave(ArgumentReader& reader) {
  std::optional<std::string> title;
  std::optional<std::string> center;
  const auto positionals = reader.readCommandArguments("save", [&](const std::string& option) -> Result<bool> {
    if (option == "--title") return reader.readValue(option, title);
    if (option == "--center") return reader.readValue(option, center);
    return false;
  });
  if (!positionals) return positionals.failure();
  if (!title) return usageError("save needs --title TEXT");
  if (!isValidUtf8(*title)) return usageError("title " + quotedArgument(*title) + " is not valid UTF-8");
  if (auto counted = requireCount("save", positionals.value(), 1, SIZE_MAX, "at least one coordinate LAT,LON");
      !counted)
    return counted.failure();
  auto points = parseCoordinates(positionals.value());
  if (!points) return points.failure();
  std::optional<Coordinate> centerPoint;
  if (center) {
    const auto given = parseCoordinate(*center);
    if (!given) return given.failure();
    centerPoint = given.value();
  }
  return parsed<SaveCommand>(std::move(*title), std::move(points).value(), centerPoint);
}

ParsedCommand parseList(ArgumentReader& reader) {
  if (auto none = readCountedArguments(reader, "list", 0, 0, ""); !none) return none.failure();
  return parsed<ListCommand>();
}

ParsedCommand parseDelete(ArgumentReader& reader) {
  const auto positionals = readCountedArguments(reader, "delete", 1, 1, "the id of a saved measurement");
  if (!positionals) return positionals.failure();
  return parsed<DeleteCommand>(positionals->front());
}

ParsedCommand parseEvents(ArgumentReader& reader) {
  if (auto none = readCountedArguments(reader, "events", 0, 0, ""); !none) return none.failure();
  return parsed<EventsCommand>();
}

}  // namespace kavrano::cli
