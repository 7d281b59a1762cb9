// Runs the built kavrano-cli as a user would: a fresh data directory per test,
// a fixed locale, and only its exit status and output observed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "kavrano/core/local_event_store.h"
#include "kavrano/core/measurement_manager.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string precise(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += word + " ";
  return text;
}

// The 0.001° square at the equator, corners listed clockwise on a lon/lat plot.
const std::vector<std::string> kSquare{"0,0", "0.001,0", "0.001,0.001", "0,0.001"};
const std::vector<kavrano::Coordinate> kSquarePoints{{0, 0}, {0.001, 0}, {0.001, 0.001}, {0, 0.001}};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kavrano-cli-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    data_ = root_ / "data";
  }
  void TearDown() override { fs::remove_all(root_); }

  /// The binary with exactly `arguments` and a small, known environment.
  Outcome spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<std::string> words{KAVRANO_CLI};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment{"PATH=/usr/bin:/bin", "HOME=" + root_.string(), "LC_ALL=en_US.UTF-8",
                                         "XDG_DATA_HOME=" + (root_ / "xdg").string()};
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    auto pointers = [](std::vector<std::string>& texts) {
      std::vector<char*> result;
      for (auto& text : texts) result.push_back(text.data());
      result.push_back(nullptr);
      return result;
    };
    auto argv = pointers(words);
    auto envp = pointers(environment);
    const auto outFile = root_ / "stdout";
    const auto errFile = root_ / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome run;
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << KAVRANO_CLI;
      return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(outFile);
    run.err = readFile(errFile);
    return run;
  }

  /// The usual invocation: this test's data directory and a locale.
  Outcome cli(const std::vector<std::string>& arguments, const std::string& locale = "en_US") {
    std::vector<std::string> words{"--data-dir", data_.string(), "--locale", locale};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return spawn(words);
  }

  /// Runs a command that must succeed and returns its standard output.
  std::string ok(const std::vector<std::string>& arguments) {
    const auto run = cli(arguments);
    EXPECT_EQ(run.status, 0) << joined(arguments) << "\n" << run.err;
    return run.out;
  }

  fs::path root_;
  fs::path data_;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::vector<std::string> with(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST_F(CliTest, PrintsTheCoreTextsAndFullPrecisionNumbers) {
  const kavrano::MeasurementManager geodesy;
  struct Case {
    std::string locale;
    std::vector<std::string> arguments;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"en_US", {"length", "--unit", "km", "0,0", "0,1"}, "111.32 km\n"},
      {"en_US", with({"area", "--unit", "ha"}, kSquare), "1.24 ha\n"},
      {"en_US", with({"area", "--unit=a"}, kSquare), "123.92 a\n"},
      {"en_US", with({"area"}, kSquare), "12,392.03 m²\n"},
      {"de_DE", {"length", "0,0", "0,0.01"}, "1.113,19 m\n"},
      {"en_US", {"area", "0,0", "0,1"}, "0 m²\n"},
      // Negative coordinates are points, and any strtod form is a number.
      {"en_US", {"length", "--unit", "km", "-23.5,-46.6", "-23.5,-46.6"}, "0 km\n"},
      {"en_US", {"length", "--unit", "km", "0x0p0,+0", "1e0,0"}, "110.57 km\n"},
      {"en_US", {"midpoint", "0,170", "0,-170"}, "0,180\n"},
      {"en_US", {"area", "0,0", "0,1", "1,0"}, "6,195,699,951.04 m\u00B2\n"},
      // The text command's wiring; the formatting values live with the converter's tests.
      {"en_US", {"text", "--unit", "km", "length", "1234.5678"}, "1.23 km\n"},
      {"en_US", {"text", "--unit", "ft\u00B2", "area", "123456"}, "1,328,869.9 ft\u00B2\n"},
      {"en_US", with({"area", "--raw"}, kSquare), precise(geodesy.polygonArea(kSquarePoints)) + "\n"},
      {"en_US", {"length", "--raw", "0,0", "0,1"}, precise(geodesy.distance({0, 0}, {0, 1})) + "\n"},
      {"en_US",
       {"midpoint", "10,20", "30,40"},
       precise(geodesy.midpoint({10, 20}, {30, 40}).latitude) + "," +
           precise(geodesy.midpoint({10, 20}, {30, 40}).longitude) + "\n"},
  };
  for (const auto& c : cases) {
    const auto run = cli(c.arguments, c.locale);
    EXPECT_EQ(run.status, 0) << joined(c.arguments) << run.err;
    EXPECT_EQ(run.out, c.expected) << joined(c.arguments);
  }
}

TEST_F(CliTest, UsageErrorsExitTwoWithOneLineNamingTheArgument) {
  struct Case {
    std::vector<std::string> arguments;
    std::string named;
  };
  const std::vector<Case> cases{
      {{"area", "91,0"}, "'91,0'"},
      {{"area", "0,181"}, "'0,181'"},
      {{"area", "nan,0"}, "'nan,0'"},
      {{"area", "1,2,3"}, "'1,2,3'"},
      {{"area", "0,0", "1 ,0"}, "'1 ,0'"},
      {{"area"}, "coordinate"},
      {{"length", "0,0"}, "length"},
      {{"midpoint", "0,0", "1,1", "2,2"}, "'2,2'"},
      {{}, "command"},
      {{"frobnicate"}, "'frobnicate'"},
      {{"area", "--bogus", "0,0"}, "'--bogus'"},
      {{"area", "--unit", "parsec", "0,0"}, "'parsec'"},
      {{"length", "--unit", "m²", "0,0", "0,1"}, "'m²'"},
      {{"area", "0,0", "--unit"}, "'--unit'"},
      {{"list", "--raw"}, "'--raw'"},
      {{"save", "0,0"}, "--title"},
      {{"save", "--title", "bad \xff title", "0,0"}, "title"},
      {{"save", "--title", "T", "--center", "0;0", "0,0"}, "'0;0'"},
      {{"export", "--format", "kml"}, "'kml'"},
      {{"units", "speed", "m"}, "'speed'"},
      {{"units", "length"}, "units length"},
      {{"defaults", "write", "K", "-bool", "maybe"}, "'maybe'"},
      {{"defaults", "write", "K", "-int", "12x"}, "'12x'"},
      {{"defaults", "write", "K"}, "-bool"},
      {{"defaults", "frob"}, "'frob'"},
  };
  for (const auto& c : cases) {
    const auto run = cli(c.arguments);
    EXPECT_EQ(run.status, 2) << joined(c.arguments);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    // Rejected before start-up: nothing was created.
    EXPECT_FALSE(fs::exists(data_)) << joined(c.arguments);
  }
  const auto missingValue = spawn({"--data-dir"});
  EXPECT_EQ(missingValue.status, 2);
  EXPECT_NE(missingValue.err.find("'--data-dir'"), std::string::npos) << missingValue.err;
}

TEST_F(CliTest, UnitChoiceIsStoredForLaterRuns) {
  EXPECT_EQ(ok({"units"}), "length: m\narea: m²\n");
  EXPECT_EQ(ok({"units", "area", "ha"}), "area: ha\n");
  EXPECT_EQ(ok({"units", "length", "km"}), "length: km\n");

  // An unknown symbol is stored as metres, with a warning.
  auto run = cli({"units", "area", "acre"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "area: m²\n");
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
  EXPECT_NE(run.err.find("'acre'"), std::string::npos) << run.err;
  EXPECT_EQ(ok({"units", "area", "ha"}), "area: ha\n");

  // --unit is for one call only.
  EXPECT_EQ(ok(with({"area", "--unit", "m²"}, kSquare)), "12,392.03 m²\n");
  EXPECT_EQ(ok({"units"}), "length: km\narea: ha\n");
  EXPECT_EQ(ok(with({"area"}, kSquare)), "1.24 ha\n");
  EXPECT_EQ(ok({"length", "0,0", "0,1"}), "111.32 km\n");
  EXPECT_EQ(ok({"defaults", "read", "AREA_UNIT"}), "ha\n");
}

TEST_F(CliTest, SavedMeasurementsRoundTrip) {
  const std::regex idPattern("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\n");
  const std::string oddTitle = "Field\twith\\odd\nchars";
  const auto a = ok({"save", "--title", "Garden", "--center", "-23.552,-46.633", "-23.551,-46.633", "-23.552,-46.632",
                     "-23.553,-46.634"});
  const auto b = ok({"save", "--title", oddTitle, "10,20", "30,40"});
  const auto c = ok({"save", "--title=", "5,6"});
  for (const auto& id : {a, b, c}) EXPECT_TRUE(std::regex_match(id, idPattern)) << id;
  const auto idA = a.substr(0, 36), idB = b.substr(0, 36), idC = c.substr(0, 36);

  const auto lines = linesOf(ok({"list"}));
  ASSERT_EQ(lines.size(), 3u);
  const std::regex linePattern("([0-9A-F-]{36})\t(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ)\t(\\d+)\t(.*)");
  const std::vector<std::vector<std::string>> expected{
      {idA, "3", "Garden"}, {idB, "2", "Field\\twith\\\\odd\\nchars"}, {idC, "1", ""}};
  for (std::size_t i = 0; i < 3; ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, linePattern)) << lines[i];
    EXPECT_EQ(match[1], expected[i][0]);
    EXPECT_EQ(match[3], expected[i][1]);
    EXPECT_EQ(match[4], expected[i][2]);
  }

  const auto stored = json::parse(ok({"export"}));
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0]["center"]["latitude"], -23.552);
  EXPECT_EQ(stored[0]["annotations"][2]["longitude"], -46.634);
  EXPECT_EQ(stored[1]["title"], oddTitle);
  EXPECT_EQ(stored[1]["center"]["latitude"], 20.0);  // no --center: the mean of the points
  EXPECT_EQ(stored[1]["center"]["longitude"], 30.0);

  EXPECT_EQ(ok({"delete", idB}), "");
  auto remaining = linesOf(ok({"list"}));
  ASSERT_EQ(remaining.size(), 2u);
  EXPECT_EQ(remaining[0].substr(0, 36), idA);
  EXPECT_EQ(remaining[1].substr(0, 36), idC);

  const auto again = cli({"delete", idB});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find(idB), std::string::npos) << again.err;
  EXPECT_EQ(linesOf(ok({"list"})).size(), 2u);
}

TEST_F(CliTest, GeoJsonExportOpensAsFeatures) {
  const kavrano::MeasurementManager geodesy;
  ok(with({"save", "--title", "square"}, kSquare));
  ok({"save", "--title", "line", "0,0", "0,1"});
  ok({"save", "--title", "pin", "10,20"});
  // A record without vertices can only come from elsewhere; put one in the store directly.
  auto stored = json::parse(ok({"export", "--format", "json"}));
  stored.push_back({{"id", "00000000-0000-4000-8000-000000000000"},
                    {"date", 0},
                    {"annotations", json::array()},
                    {"title", "empty"},
                    {"center", {{"latitude", 0}, {"longitude", 0}}}});
  std::ofstream(root_ / "list.json") << stored.dump();
  ok({"defaults", "write", "PERSISTED_MEASUREMENTS", "-data-file", (root_ / "list.json").string()});

  const auto collection = json::parse(ok({"export", "--format", "geojson"}));
  EXPECT_EQ(collection["type"], "FeatureCollection");
  const auto& features = collection["features"];
  ASSERT_EQ(features.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(features[i]["type"], "Feature");
    EXPECT_EQ(features[i]["properties"]["id"], stored[i]["id"]);
    EXPECT_EQ(features[i]["properties"]["title"], stored[i]["title"]);
  }

  const auto& square = features[0];
  EXPECT_EQ(square["geometry"]["type"], "Polygon");
  const auto ring = square["geometry"]["coordinates"][0];
  ASSERT_EQ(ring.size(), 5u);
  EXPECT_EQ(ring.front(), ring.back());
  double twiceSignedArea = 0.0;  // lon/lat shoelace: positive when counter-clockwise
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    twiceSignedArea += ring[i][0].get<double>() * ring[i + 1][1].get<double>() -
                       ring[i + 1][0].get<double>() * ring[i][1].get<double>();
  }
  EXPECT_GT(twiceSignedArea, 0.0);
  const auto& properties = square["properties"];
  EXPECT_DOUBLE_EQ(properties["area_m2"].get<double>(), geodesy.polygonArea(kSquarePoints));
  EXPECT_NEAR(properties["area_wgs84_m2"].get<double>(), properties["area_m2"].get<double>(),
              0.01 * properties["area_m2"].get<double>());
  double sides = 0.0;
  for (std::size_t i = 0; i < 4; ++i) sides += geodesy.distance(kSquarePoints[i], kSquarePoints[(i + 1) % 4]);
  EXPECT_NEAR(properties["perimeter_m"].get<double>(), sides, 1e-6);

  const auto& line = features[1];
  EXPECT_EQ(line["geometry"]["type"], "LineString");
  EXPECT_EQ(line["geometry"]["coordinates"], json::parse("[[0,0],[1,0]]"));
  EXPECT_NEAR(line["properties"]["perimeter_m"].get<double>(), geodesy.distance({0, 0}, {0, 1}), 1e-6);
  EXPECT_EQ(line["properties"]["area_m2"], 0.0);

  EXPECT_EQ(features[2]["geometry"], json::parse(R"({"type":"Point","coordinates":[20,10]})"));
  EXPECT_TRUE(features[3]["geometry"].is_null());
  EXPECT_EQ(features[3]["properties"]["date"], "2001-01-01T00:00:00Z");
}

TEST_F(CliTest, DefaultsReadWriteDelete) {
  std::string blob;
  for (int i = 0; i < 256; ++i) blob += static_cast<char>(i);
  blob += std::string("\0\n", 2);
  std::ofstream(root_ / "blob.bin", std::ios::binary) << blob;

  for (const auto& [word, shown] : std::vector<std::pair<std::string, std::string>>{
           {"yes", "true"}, {"NO", "false"}, {"1", "true"}, {"0", "false"}, {"false", "false"}, {"true", "true"}}) {
    ok({"defaults", "write", "FLAG", "-bool", word});
    EXPECT_EQ(ok({"defaults", "read", "FLAG"}), shown + "\n") << word;
  }
  ok({"defaults", "write", "COUNT", "-int", "-42"});
  ok({"defaults", "write", "NAME", "-string", "m² \"q\""});
  ok({"defaults", "write", "BLOB", "-data-file", (root_ / "blob.bin").string()});

  EXPECT_EQ(ok({"defaults", "read", "COUNT"}), "-42\n");
  EXPECT_EQ(ok({"defaults", "read", "NAME"}), "m² \"q\"\n");
  EXPECT_EQ(ok({"defaults", "read", "BLOB"}), blob);
  // Registered defaults are not stored, so they are not listed.
  EXPECT_EQ(ok({"defaults", "read"}), "BLOB = <data, 258 bytes>\nCOUNT = -42\nFLAG = true\nNAME = \"m² \\\"q\\\"\"\n");

  EXPECT_EQ(ok({"defaults", "delete", "NAME"}), "");
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{"defaults", "read", "NAME"},
                                             {"defaults", "delete", "NAME"},
                                             {"defaults", "write", "X", "-data-file", (root_ / "missing").string()}}) {
    const auto run = cli(arguments);
    EXPECT_EQ(run.status, 1) << joined(arguments);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_EQ(linesOf(ok({"defaults", "read"})).size(), 3u);
}

TEST_F(CliTest, EventsShowWhatTheEventStoreKept) {
  fs::create_directories(data_);
  {
    kavrano::LocalEventStore events(data_);
    events.logEvent("added_pin");
    events.logEvent("cleared_pins");
    events.flush();
  }
  std::string expected;
  for (const auto& event : kavrano::LocalEventStore::read(data_)) expected += event.time + "\t" + event.name + "\n";
  ASSERT_EQ(linesOf(expected).size(), 2u);
  EXPECT_EQ(ok({"events"}), expected);
}

TEST_F(CliTest, HelpAndStartUp) {
  const auto help = spawn({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"area", "length", "midpoint", "units", "save", "list", "export", "delete", "events",
                              "defaults read", "defaults write", "defaults delete", "--data-dir", "--locale"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  EXPECT_EQ(spawn({"help"}).out, help.out);
  EXPECT_EQ(spawn({"area", "--help"}).out, help.out);

  // Without --data-dir the environment decides where the data lives.
  const auto elsewhere = root_ / "from-env";
  EXPECT_EQ(spawn({"units", "area", "ha"}, {"KAVRANO_DATA_DIR=" + elsewhere.string()}).status, 0);
  EXPECT_TRUE(fs::exists(elsewhere / "preferences.sqlite3"));
  EXPECT_EQ(spawn({"--data-dir", elsewhere.string(), "units"}).out, "length: m\narea: ha\n");

  std::ofstream(root_ / "plain-file") << "x";
  const auto blocked = spawn({"--data-dir", (root_ / "plain-file").string(), "units"});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.err.find("plain-file"), std::string::npos) << blocked.err;
}

}  // namespace
