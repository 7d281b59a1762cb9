#include "command_line.h"

#include <array>
#include <exception>
#include <memory>
#include <string_view>

#include "commands.h"
#include "kavrano/core/units.h"
#include "startup.h"

namespace kavrano::cli {
namespace {

struct CommandEntry {
  std::string_view name;
  std::string_view synopsis;
  std::string_view summary;
  CommandParser parse;
};

constexpr std::array kCommands{
    CommandEntry{"area", "area [--unit SYM] [--raw] LAT,LON ...", "area of the ring through the points", parseArea},
    CommandEntry{"length", "length [--unit SYM] [--raw] LAT,LON LAT,LON", "surface distance between two points",
                 parseLength},
    CommandEntry{"midpoint", "midpoint LAT,LON LAT,LON", "midpoint of the great-circle segment", parseMidpoint},
    CommandEntry{"text", "text [--unit SYM] length|area VALUE", "on-screen text of metres or square metres", parseText},
    CommandEntry{"units", "units [length SYM | area SYM]", "show the chosen units, or choose one", parseUnits},
    CommandEntry{"save", "save --title TEXT [--center LAT,LON] LAT,LON ...", "save a measurement and print its id",
                 parseSave},
    CommandEntry{"list", "list", "saved measurements: id, date, points, title", parseList},
    CommandEntry{"export", "export [--format json|geojson|kml|gpx|csv] [ID ...]",
                 "saved measurements (all, or the given ones) in a file format", parseExport},
    CommandEntry{"import", "import [--dry-run] FILE ...", "save what GeoJSON, KML or GPX files hold; print the ids",
                 parseImport},
    CommandEntry{"delete", "delete ID", "delete a saved measurement", parseDelete},
    CommandEntry{"events", "events", "stored usage events: time, name", parseEvents},
    CommandEntry{"defaults", "defaults read [KEY]", "stored preferences, or one value", parseDefaults},
};

// `defaults` has more forms than one synopsis line can carry.
constexpr std::array<std::string_view, 3> kMoreDefaultsForms{
    "defaults write KEY -bool|-int|-string VALUE", "defaults write KEY -data-file FILE", "defaults delete KEY"};

}  // namespace

namespace {

ParsedCommand parseCommand(ArgumentReader& reader, GlobalOptions& globals) {
  const auto name = reader.readCommandName();
  if (!name) return name.failure();
  if (!name.value()) return usageError("no command given (see --help)");
  const std::string& command = *name.value();
  if (command == "help") {
    if (auto none = readCountedArguments(reader, "help", 0, 0, ""); !none) return none.failure();
    globals.help = true;
    return std::unique_ptr<Command>();
  }
  for (const auto& entry : kCommands) {
    if (entry.name == command) return entry.parse(reader);
  }
  return usageError("unknown command " + quotedArgument(command) + " (see --help)");
}

}  // namespace

Result<Invocation> parseInvocation(const std::vector<std::string>& arguments) {
  Invocation invocation;
  ArgumentReader reader(arguments, invocation.globals);
  auto command = parseCommand(reader, invocation.globals);
  // "area --help" asks for help, not for a complaint about the missing points.
  if (invocation.globals.help) return invocation;
  if (!command) return command.failure();
  invocation.command = std::move(command).value();
  return invocation;
}

namespace {

void appendPadded(std::string& text, std::string_view left, std::string_view right) {
  constexpr std::size_t kColumn = 52;
  text += "  ";
  text += left;
  if (!right.empty()) {
    text += std::string(left.size() < kColumn ? kColumn - left.size() : 1, ' ');
    text += right;
  }
  text += '\n';
}

}  // namespace

std::string usageText() {
  std::string text =
      "Usage: kavrano-cli [--data-dir DIR] [--locale NAME] COMMAND [ARGUMENTS]\n"
      "\n"
      "Measures on the WGS 84 Earth and manages the measurements saved by Kavrano.\n"
      "LAT,LON is a point in decimal degrees: latitude -90 to 90, longitude -180 to 180.\n"
      "\n"
      "Commands:\n";
  for (const auto& entry : kCommands) appendPadded(text, entry.synopsis, entry.summary);
  for (const auto form : kMoreDefaultsForms) appendPadded(text, form, "");
  appendPadded(text, "help", "show this text");
  text +=
      "\n"
      "Options:\n"
      "  --data-dir DIR    data directory (default: $KAVRANO_DATA_DIR, else $XDG_DATA_HOME/kavrano)\n"
      "  --locale NAME     number locale such as de_DE (default: from LC_ALL, LC_NUMERIC or LANG)\n"
      "  --unit SYM        show in this unit without storing it as the choice\n"
      "  --raw             metres or square metres with 17 significant digits\n"
      "  --help            show this text\n"
      "  --version         show the version (alone on the line)\n"
      "\n"
      "Length units:";
  for (const auto unit : kAllLengthUnits) text += " " + std::string(symbol(unit));
  text += "\nArea units:  ";
  for (const auto unit : kAllAreaUnits) text += " " + std::string(symbol(unit));
  text += "\n\nExit status: 0 done, 2 usage error, 1 any other failure.\n";
  return text;
}

Result<void> requireStored(const Result<void>& written, const Context& context) {
  if (written) return {};
  return commandFailure("not saved in " + quotedArgument(context.dataDirectory.string()) + ": " +
                        written.failure().reason);
}

namespace {

int reported(const Failure& failure, std::ostream& err) {
  err << "kavrano-cli: " << failure.reason << '\n';
  return failure.kind == Failure::Kind::invalidRequest ? 2 : 1;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  auto invocation = parseInvocation(arguments);
  if (!invocation) return reported(invocation.failure(), err);
  if (!invocation->command) {
    out << usageText();
    return 0;
  }
  // The standard library's own failures (memory, a stream set to throw) are the only
  // exceptions left; they end the command like any other failure.
  try {
    const Session session = startUp(invocation->globals, err);
    auto ran = invocation->command->run(Context{session.dataDirectory, *session.store, out, err});
    if (ran && !out.flush()) ran = commandFailure("cannot write to standard output");
    return ran ? 0 : reported(ran.failure(), err);
  } catch (const std::exception& error) {
    err << "kavrano-cli: unexpected failure: " << error.what() << '\n';
  }
  return 1;
}

}  // namespace kavrano::cli
