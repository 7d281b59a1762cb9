#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "commands.h"
#include "geojson_export.h"
#include "kavrano/core/local_event_store.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/reference_date.h"
#include "kavrano/core/uuid.h"
#include "output_text.h"

namespace kavrano::cli {
namespace {

bool containsId(const std::vector<PersistedMeasurement>& list, const std::string& id) {
  return std::any_of(list.begin(), list.end(), [&](const auto& record) { return record.id == id; });
}

PersistedAnnotationCenter meanOf(const std::vector<Coordinate>& points) {
  PersistedAnnotationCenter center;
  for (const auto& point : points) {
    center.latitude += point.latitude;
    center.longitude += point.longitude;
  }
  center.latitude /= static_cast<double>(points.size());
  center.longitude /= static_cast<double>(points.size());
  return center;
}

class SaveCommand final : public Command {
 public:
  SaveCommand(std::string title, std::vector<Coordinate> points, std::optional<Coordinate> center)
      : title_(std::move(title)), points_(std::move(points)), center_(center) {}

  void run(const Context& context) const override {
    PersistedMeasurement record;
    record.id = makeUuidString();
    record.date = secondsSinceReferenceDateNow();
    for (const auto& point : points_) record.annotations.push_back({point.latitude, point.longitude});
    record.title = title_;
    record.center = center_ ? PersistedAnnotationCenter{center_->latitude, center_->longitude} : meanOf(points_);

    PersistanceManager manager;
    manager.appendMeasurement(record);
    requireLastWriteStored(context);
    // The store drops a record it cannot encode without a word; the user must hear of it.
    if (!containsId(manager.loadMeasurements(), record.id)) throw CommandFailure("the measurement could not be stored");
    context.out << record.id << '\n';
  }

 private:
  std::string title_;
  std::vector<Coordinate> points_;
  std::optional<Coordinate> center_;
};

class ListCommand final : public Command {
 public:
  void run(const Context& context) const override {
    for (const auto& record : PersistanceManager().loadMeasurements()) {
      context.out << escapedForLine(record.id) << '\t' << iso8601Utc(record.date) << '\t' << record.annotations.size()
                  << '\t' << escapedForLine(record.title) << '\n';
    }
  }
};

enum class ExportFormat { json, geojson };

class ExportCommand final : public Command {
 public:
  explicit ExportCommand(ExportFormat format) : format_(format) {}

  void run(const Context& context) const override {
    const auto measurements = PersistanceManager().loadMeasurements();
    if (format_ == ExportFormat::geojson) {
      context.out << withControlsEscaped(geoJsonFeatureCollection(measurements)
                                             .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace))
                  << '\n';
      return;
    }
    const auto json = encodeMeasurements(measurements);
    if (!json) throw CommandFailure("the saved measurements could not be encoded as JSON");
    context.out << withControlsEscaped(*json) << '\n';
  }

 private:
  ExportFormat format_;
};

class DeleteCommand final : public Command {
 public:
  explicit DeleteCommand(std::string id) : id_(std::move(id)) {}

  void run(const Context& context) const override {
    PersistanceManager manager;
    if (!containsId(manager.loadMeasurements(), id_)) {
      throw CommandFailure("no saved measurement has the id " + quotedArgument(id_));
    }
    PersistedMeasurement record;
    record.id = id_;
    manager.deleteMeasurement(record);
    requireLastWriteStored(context);
  }

 private:
  std::string id_;
};

class EventsCommand final : public Command {
 public:
  void run(const Context& context) const override {
    for (const auto& event : LocalEventStore::read(context.dataDirectory)) {
      context.out << escapedForLine(event.time) << '\t' << escapedForLine(event.name) << '\n';
    }
  }
};

std::vector<std::string> readPlainArguments(ArgumentReader& reader, const std::string& command) {
  return reader.readCommandArguments(command, [](const std::string&) { return false; });
}

}  // namespace

std::unique_ptr<Command> parseSave(ArgumentReader& reader) {
  std::optional<std::string> title;
  std::optional<std::string> center;
  const auto positionals = reader.readCommandArguments("save", [&](const std::string& option) {
    if (option == "--title") {
      title = reader.optionValue(option);
      return true;
    }
    if (option == "--center") {
      center = reader.optionValue(option);
      return true;
    }
    return false;
  });
  if (!title) throw UsageError("save needs --title TEXT");
  if (!isValidUtf8(*title)) throw UsageError("title " + quotedArgument(*title) + " is not valid UTF-8");
  requireCount("save", positionals, 1, SIZE_MAX, "at least one coordinate LAT,LON");
  auto points = parseCoordinates(positionals);
  std::optional<Coordinate> centerPoint;
  if (center) centerPoint = parseCoordinate(*center);
  return std::make_unique<SaveCommand>(std::move(*title), std::move(points), centerPoint);
}

std::unique_ptr<Command> parseList(ArgumentReader& reader) {
  requireCount("list", readPlainArguments(reader, "list"), 0, 0, "");
  return std::make_unique<ListCommand>();
}

std::unique_ptr<Command> parseExport(ArgumentReader& reader) {
  std::string format = "json";
  const auto positionals = reader.readCommandArguments("export", [&](const std::string& option) {
    if (option != "--format") return false;
    format = reader.optionValue(option);
    return true;
  });
  requireCount("export", positionals, 0, 0, "");
  if (format != "json" && format != "geojson") {
    throw UsageError("unknown export format " + quotedArgument(format) + " (json or geojson)");
  }
  return std::make_unique<ExportCommand>(format == "json" ? ExportFormat::json : ExportFormat::geojson);
}

std::unique_ptr<Command> parseDelete(ArgumentReader& reader) {
  const auto positionals = readPlainArguments(reader, "delete");
  requireCount("delete", positionals, 1, 1, "the id of a saved measurement");
  return std::make_unique<DeleteCommand>(positionals[0]);
}

std::unique_ptr<Command> parseEvents(ArgumentReader& reader) {
  requireCount("events", readPlainArguments(reader, "events"), 0, 0, "");
  return std::make_unique<EventsCommand>();
}

}  // namespace kavrano::cli
