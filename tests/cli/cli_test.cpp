// Runs the built kavrano-cli as a user would: a fresh data directory per test,
// a fixed locale, and only its exit status and output observed.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "kavrano/core/local_event_store.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/uuid.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
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

std::string quoted(const std::string& word) {
  std::string text = "'";
  for (char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

// The 0.001° square at the equator, corners listed clockwise on a lon/lat plot.
const std::string kSquare = " 0,0 0.001,0 0.001,0.001 0,0.001";
const std::vector<kavrano::Coordinate> kSquarePoints{{0, 0}, {0.001, 0}, {0.001, 0.001}, {0, 0.001}};
const kavrano::MeasurementManager geodesy;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kavrano-cli-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    data_ = root_ / "data";
  }
  void TearDown() override { fs::remove_all(root_); }

  // The binary with `arguments` as a shell splits them, no input and a small, known environment.
  Outcome spawn(const std::string& arguments, const std::string& environment = "") {
    const std::string command = "env -i PATH=/usr/bin:/bin HOME=" + quoted(root_) +
                                " LC_ALL=en_US.UTF-8 XDG_DATA_HOME=" + quoted(root_ / "xdg") + " " + environment + " " +
                                quoted(KAVRANO_CLI) + " " + arguments + " </dev/null >" + quoted(root_ / "stdout") +
                                " 2>" + quoted(root_ / "stderr");
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(root_ / "stdout"), readFile(root_ / "stderr")};
  }

  // The usual invocation: this test's data directory and a locale.
  Outcome cli(const std::string& arguments, const std::string& locale = "en_US") {
    return spawn("--data-dir " + quoted(data_) + " --locale " + locale + " " + arguments);
  }

  // Runs a command that must succeed and returns its standard output.
  std::string ok(const std::string& arguments) {
    const auto run = cli(arguments);
    EXPECT_EQ(run.status, 0) << arguments << "\n" << run.err;
    return run.out;
  }

  // Exit `status` with exactly one line on standard error, naming `named`.
  void expectFailure(const Outcome& run, int status, const std::string& named, const std::string& context) {
    EXPECT_EQ(run.status, status) << context;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << context << ": " << run.err;
    EXPECT_NE(run.err.find(named), std::string::npos) << context << ": " << run.err;
  }

  fs::path root_;
  fs::path data_;
};

TEST_F(CliTest, PrintsTheCoreTextsAndFullPrecisionNumbers) {
  const auto middle = geodesy.midpoint({10, 20}, {30, 40});
  // Each case: the arguments, " => ", the line printed. Negative coordinates are points,
  // exponents are plain decimals; the text command's values live with the converter's tests.
  for (const std::string& c : std::vector<std::string>{
           "length --unit km 0,0 0,1 => 111.32 km", "area --unit=a" + kSquare + " => 123.92 a",
           "area" + kSquare + " => 12,392.03 m²", "length --unit km -23.5,-46.6 -23.5,-46.6 => 0 km",
           "length --unit km 0,.0 1e0,0. => 110.57 km", "text --unit km length 1234.5678 => 1.23 km",
           "text --unit ft² area 123456 => 1,328,869.9 ft²",
           "area --raw" + kSquare + " => " + precise(geodesy.polygonArea(kSquarePoints)),
           "length --raw 0,0 0,1 => " + precise(geodesy.distance({0, 0}, {0, 1})),
           "midpoint 10,20 30,40 => " + precise(middle.latitude) + "," + precise(middle.longitude)}) {
    const auto arrow = c.find(" => ");
    EXPECT_EQ(ok(c.substr(0, arrow)), c.substr(arrow + 4) + "\n") << c;
  }
  EXPECT_EQ(cli("length 0,0 0,0.01", "de_DE").out, "1.113,19 m\n");
}

TEST_F(CliTest, UsageErrorsExitTwoWithOneLineNamingTheArgument) {
  // Each case: the arguments, " => ", what the one line on standard error must name.
  const auto expectUsageError = [&](const std::string& c) {
    const auto arrow = c.find(" => ");
    const auto run = cli(c.substr(0, arrow));
    expectFailure(run, 2, c.substr(arrow + 4), c);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(data_)) << c << ": rejected before start-up, nothing may be created";
  };
  for (const char* c :
       {"area 91,0 => '91,0'", "area 0,181 => '0,181'", "area nan,0 => 'nan,0'", "area 1,2,3 => '1,2,3'",
        "area 0,0 '1 ,0' => '1 ,0'", "area => coordinate", "length 0,0 => length", "midpoint 0,0 1,1 2,2 => '2,2'",
        " => command", "frobnicate => 'frobnicate'", "units speed m => 'speed'", "units length => units length",
        "defaults frob => 'frob'", "help extra => 'extra'"})
    expectUsageError(c);
  // Numbers are plain decimals: strtod's other forms are not degrees anyone means.
  for (const char* c : {"area 0x10,0 => '0x10,0'", "area +1,0 => '+1,0'", "area ' 1,0' => ' 1,0'",
                        "area 1,0x1p0 => '1,0x1p0'", "area 1e,0 => '1e,0'", "area .,0 => '.,0'",
                        "area inf,0 => 'inf,0'", "text area 0x10 => '0x10'", "text length ' 5' => ' 5'"})
    expectUsageError(c);
  // Single-valued options given twice, and unknown locales.
  for (const char* c : {"save --title A --title=B 0,0 => '--title'", "area --unit m² --unit ha 0,0 => '--unit'",
                        "save --title A --center 0,0 --center 1,1 0,0 => '--center'",
                        "export --format json --format geojson => '--format'", "--locale de_DE units => '--locale'",
                        "--data-dir /tmp units => '--data-dir'"})
    expectUsageError(c);
  for (const char* c :
       {"area --bogus 0,0 => '--bogus'", "area --unit parsec 0,0 => 'parsec'", "length --unit m² 0,0 0,1 => 'm²'",
        "area 0,0 --unit => '--unit'", "list --raw => '--raw'", "units length parsec => 'parsec'",
        "units area m => 'm'", "save 0,0 => --title", "save --title 'bad \xff title' 0,0 => title",
        "save --title T --center '0;0' 0,0 => '0;0'", "export --format shp => 'shp'",
        "defaults write K -bool maybe => 'maybe'", "defaults write K -int 12x => '12x'", "defaults write K => -bool"})
    expectUsageError(c);
  expectFailure(spawn("--data-dir"), 2, "'--data-dir'", "--data-dir");
  for (const char* locale : {"xx_NOPE", "de_NOPE", "zz"}) {
    const auto run = spawn("--data-dir " + quoted(data_) + " --locale " + locale + " units");
    expectFailure(run, 2, "'" + std::string(locale) + "'", locale);
  }
  EXPECT_FALSE(fs::exists(data_)) << "a rejected locale must not open the store";
  // A listed locale with its encoding, and a listed language in any real country.
  EXPECT_EQ(spawn("--data-dir " + quoted(data_) + " --locale de_DE.UTF-8 text length 1234.5").out, "1.234,5 m\n");
  EXPECT_EQ(spawn("--data-dir " + quoted(data_) + " --locale en_NL text length 1234.5").status, 0);
}

TEST_F(CliTest, UnitChoiceIsStoredForLaterRuns) {
  EXPECT_EQ(ok("units"), "length: m\narea: m²\n");
  EXPECT_EQ(ok("units area ha"), "area: ha\n");
  EXPECT_EQ(ok("units length km"), "length: km\n");
  // An unknown symbol is refused before the store is touched, so the choice stays.
  expectFailure(cli("units area acre"), 2, "'acre'", "units area acre");
  EXPECT_EQ(ok("units"), "length: km\narea: ha\n");
  // --unit is for one call only.
  EXPECT_EQ(ok("area --unit m²" + kSquare), "12,392.03 m²\n");
  EXPECT_EQ(ok("units"), "length: km\narea: ha\n");
  EXPECT_EQ(ok("area" + kSquare), "1.24 ha\n");
  EXPECT_EQ(ok("length 0,0 0,1"), "111.32 km\n");
  EXPECT_EQ(ok("defaults read AREA_UNIT"), "ha\n");
}

TEST_F(CliTest, DefaultsReadWriteDelete) {
  std::string blob;
  for (int i = 0; i < 256; ++i) blob += static_cast<char>(i);
  blob += std::string("\0\n", 2);
  std::ofstream(root_ / "blob.bin", std::ios::binary) << blob;
  for (const auto& [word, shown] : std::vector<std::pair<std::string, std::string>>{
           {"yes", "true"}, {"NO", "false"}, {"1", "true"}, {"0", "false"}, {"false", "false"}, {"true", "true"}}) {
    ok("defaults write FLAG -bool " + word);
    EXPECT_EQ(ok("defaults read FLAG"), shown + "\n") << word;
  }
  ok("defaults write COUNT -int -42");
  ok("defaults write NAME -string 'm² \"q\"'");
  ok("defaults write BLOB -data-file " + quoted(root_ / "blob.bin"));
  EXPECT_EQ(ok("defaults read COUNT"), "-42\n");
  EXPECT_EQ(ok("defaults read NAME"), "m² \"q\"\n");
  EXPECT_EQ(ok("defaults read BLOB"), blob);
  // Registered defaults are not stored, so they are not listed.
  EXPECT_EQ(ok("defaults read"), "BLOB = <data, 258 bytes>\nCOUNT = -42\nFLAG = true\nNAME = \"m² \\\"q\\\"\"\n");

  EXPECT_EQ(ok("defaults delete NAME"), "");
  for (const std::string& arguments : {std::string("defaults read NAME"), std::string("defaults delete NAME"),
                                       "defaults write X -data-file " + quoted(root_ / "missing")})
    expectFailure(cli(arguments), 1, "", arguments);
  expectFailure(cli("defaults write X -data-file " + quoted(root_)), 1, "is a directory", "a directory as data file");
  EXPECT_EQ(ok("defaults read"), "BLOB = <data, 258 bytes>\nCOUNT = -42\nFLAG = true\n");
}

// Before the bound a data file was read whole: /dev/zero filled the memory.
TEST_F(CliTest, ADataFilePastTheBoundIsRefusedWithoutBeingReadAndNothingIsStored) {
  const fs::path sparse = root_ / "huge.bin";
  { std::ofstream(sparse, std::ios::binary) << ""; }
  fs::resize_file(sparse, (std::uintmax_t{64} << 20) + 1);  // sparse: no disk is used
  for (const fs::path& file : {sparse, fs::path("/dev/zero")}) {
    const auto run = cli("defaults write BIG -data-file " + quoted(file));
    expectFailure(run, 2, "'" + file.string() + "'", file.string());
    EXPECT_NE(run.err.find("larger than 64 MiB"), std::string::npos) << run.err;
  }
  fs::resize_file(sparse, std::uintmax_t{64} << 20);
  ok("defaults write BIG -data-file " + quoted(sparse));
  EXPECT_EQ(ok("defaults read"), "BIG = <data, 67108864 bytes>\n");
}

TEST_F(CliTest, SavedMeasurementsRoundTrip) {
  const std::regex idPattern("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\n");
  const std::string oddTitle = "Field\twith\\odd\nchars";
  const std::vector<std::string> ids{
      ok("save --title Garden --center -23.552,-46.633 -23.551,-46.633 -23.552,-46.632 -23.553,-46.634"),
      ok("save --title " + quoted(oddTitle) + " 10,20 30,40"), ok("save --title= 5,6")};
  for (const auto& id : ids) EXPECT_TRUE(std::regex_match(id, idPattern)) << id;
  const auto id = [&](int i) { return ids[i].substr(0, 36); };

  // The list with each date, checked for its form, shown as <date>.
  const auto listed = [&] {
    return std::regex_replace(ok("list"), std::regex("\t\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\t"), "\t<date>\t");
  };
  EXPECT_EQ(listed(), id(0) + "\t<date>\t3\tGarden\n" + id(1) + "\t<date>\t2\tField\\twith\\\\odd\\nchars\n" + id(2) +
                          "\t<date>\t1\t\n");

  const auto stored = json::parse(ok("export"));
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0]["center"]["latitude"], -23.552);
  EXPECT_EQ(stored[0]["annotations"][2]["longitude"], -46.634);
  EXPECT_EQ(stored[1]["title"], oddTitle);
  EXPECT_EQ(stored[1]["center"],
            json::parse(R"({"latitude":20.0,"longitude":30.0})"));  // no --center: the bounding box's middle

  EXPECT_EQ(ok("delete " + id(1)), "");
  const std::string remaining = id(0) + "\t<date>\t3\tGarden\n" + id(2) + "\t<date>\t1\t\n";
  EXPECT_EQ(listed(), remaining);
  expectFailure(cli("delete " + id(1)), 1, id(1), "delete again");
  EXPECT_EQ(listed(), remaining);

  // Without --center a ring across ±180° is centred on its side of the world.
  ok("save --title across 10,179.9 -10,-179.9 0,179.95");
  const auto across = json::parse(ok("export")).back()["center"];
  EXPECT_NEAR(across["latitude"].get<double>(), 0.0, 1e-12);
  EXPECT_NEAR(std::abs(across["longitude"].get<double>()), 180.0, 1e-9);
}

// The app's store object in this process and the command line in three others,
// saving and deleting at once: every acknowledged save is there unless its delete
// was acknowledged too.
TEST_F(CliTest, SavesAndDeletesFromTheCliBesideAnOpenStoreAllLand) {
  ok("units");  // the store exists before the race starts
  std::string loops;
  for (int p = 0; p < 3; ++p) {
    const auto cliCall = "env -i PATH=/usr/bin:/bin " + quoted(KAVRANO_CLI) + " --data-dir " + quoted(data_) + " ";
    loops += "(for i in $(seq 15); do id=$(" + cliCall + "save --title c" + std::to_string(p) +
             " 1,2 3,4) && echo \"saved $id\" && if [ $((i % 3)) = 0 ]; then " + cliCall +
             "delete $id && echo \"deleted $id\"; fi; done) >" + quoted(root_ / ("cli" + std::to_string(p))) + " & ";
  }
  std::thread clis([&] { (void)std::system((loops + "wait").c_str()); });
  auto opened = kavrano::SqlitePreferenceStore::open(data_ / kavrano::SqlitePreferenceStore::kFileName);
  ASSERT_TRUE(opened) << opened.failure().reason;
  kavrano::PersistanceManager app(*opened.value());
  std::set<std::string> expected;
  for (int i = 0; i < 30; ++i) {
    const kavrano::PersistedMeasurement record{kavrano::makeUuidString(), 1.0, {{1, 2}}, "app", {1, 2}};
    ASSERT_TRUE(app.appendMeasurement(record)) << i;
    expected.insert(record.id);
    if (i % 3 != 0) continue;
    ASSERT_TRUE(app.deleteMeasurement(record)) << i;
    expected.erase(record.id);
  }
  clis.join();
  std::size_t cliOperations = 0;
  for (int p = 0; p < 3; ++p) {
    std::istringstream lines(readFile(root_ / ("cli" + std::to_string(p))));
    for (std::string verb, id; lines >> verb >> id; ++cliOperations) {
      if (verb == "saved") expected.insert(id);
      if (verb == "deleted") expected.erase(id);
    }
  }
  EXPECT_EQ(cliOperations, 3u * 20u);
  std::set<std::string> stored;
  for (const auto& record : app.loadMeasurements()) stored.insert(record.id);
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(opened.value()->integrityCheck(), "ok");
}

// Run as a user who may not write the data directory (root may write anywhere).
std::string unprivileged() { return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : ""; }

TEST_F(CliTest, AReadOnlyDataDirectoryIsReadAndASaveSaysWhyItFailed) {
  const auto id = ok("save --title kept 1,2 3,4").substr(0, 36);
  const std::string exported = ok("export");
  if (::geteuid() == 0) {  // the folder and its files belong to the user who runs the CLI, as they would
    for (const auto& entry : fs::directory_iterator(data_)) ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(data_.c_str(), 65534, 65534), 0);
  }
  fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
  fs::permissions(data_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  const auto readOnly = [&](const std::string& arguments) {
    return spawn("--data-dir " + quoted(data_) + " --locale en_US " + arguments, unprivileged());
  };
  EXPECT_EQ(readOnly("export").out, exported);
  EXPECT_EQ(readOnly("list").out.substr(0, 36), id);
  expectFailure(readOnly("save --title lost 5,6"), 1, "read-only", "save into a read-only directory");
  expectFailure(readOnly("delete " + id), 1, "read-only", "delete in a read-only directory");
  EXPECT_EQ(readOnly("export").out, exported);

  // A damaged file that cannot be moved aside: nothing to read, and no save pretends.
  fs::permissions(data_, fs::perms::owner_all);
  fs::remove(data_ / "preferences.sqlite3");
  std::ofstream(data_ / "preferences.sqlite3") << "not a database";
  fs::permissions(data_,
                  fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(readOnly("list").out, "");
  expectFailure(readOnly("save --title lost 5,6"), 1, "cannot be moved aside", "save beside a damaged file");
  fs::permissions(data_, fs::perms::owner_all);
  EXPECT_EQ(readFile(data_ / "preferences.sqlite3"), "not a database");
}

// Once a file is full the disk is full, as far as the writer can tell.
TEST_F(CliTest, ASaveOrImportOnAFullDiskSaysSoAndKeepsTheOldList) {
  ok("save --title kept 1,2 3,4");
  const std::string before = ok("export");
  const auto limited = [&](int blocks, const std::string& arguments) {
    return spawn("--data-dir " + quoted(data_) + " " + arguments,
                 "sh -c 'ulimit -f " + std::to_string(blocks) + "; trap \"\" XFSZ; exec \"$0\" \"$@\"'");
  };
  // 64 blocks of 512 bytes: room for the log's index, none for one of its pages.
  expectFailure(limited(64, "save --title lost 5,6"), 1, "size limit", "save on a full disk");
  EXPECT_EQ(ok("export"), before);

  // Room for the first few of the file's measurements, not for all: none may stay.
  std::string features;
  for (int f = 0; f < 20; ++f) {
    std::string ring;
    for (int v = 0; v <= 500; ++v)
      ring += (v ? ",[" : "[") + std::to_string(v % 500 * 1e-4) + "," + std::to_string(f + v % 2 * 1e-3) + "]";
    features += (f ? "," : "") +
                (R"({"type":"Feature","properties":{},"geometry":{"type":"Polygon","coordinates":[[)" + ring + "]]}}");
  }
  std::ofstream(root_ / "many.geojson") << R"({"type":"FeatureCollection","features":[)" + features + "]}";
  const auto run = limited(640, "import " + quoted(root_ / "many.geojson"));
  expectFailure(run, 1, "size limit", "import on a full disk");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ok("export"), before);
}

// True when `text` holds a byte a terminal would act on: a C0 control other than the
// line and field separators, DEL, or a C1 control (U+0080–U+009F, C2 80 – C2 9F).
bool hasRawControl(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7f) return true;
    if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F) return true;
  }
  return false;
}

TEST_F(CliTest, StoredControlCharactersArePrintedEscaped) {
  // Titles, ids, keys and event names from the store or the events file, as any program may have written them:
  // a window-title change ending in BEL, a screen clear, CR, DEL and the one-byte CSI U+009B.
  const std::string hostile =
      "A\x1b]0;owned\x07"
      "B\x1b[2J\rC\x7f\xc2\x9b"
      "31mD";
  const std::string escaped = "A\\x1b]0;owned\\x07B\\x1b[2J\\rC\\x7f\\u009b31mD";
  const json record = {{"id", hostile},
                       {"date", 0},
                       {"annotations", json::array({{{"latitude", 1}, {"longitude", 2}}})},
                       {"title", hostile},
                       {"center", {{"latitude", 1}, {"longitude", 2}}}};
  std::ofstream(root_ / "list.json") << json::array({record}).dump();
  ok("defaults write PERSISTED_MEASUREMENTS -data-file " + quoted(root_ / "list.json"));
  ok("defaults write " + quoted(hostile) + " -string " + quoted(hostile));
  fs::create_directories(data_);
  std::ofstream(data_ / kavrano::LocalEventStore::kFileName) << "2026-01-01T00:00:00.000Z\t" << hostile << "\n";

  EXPECT_EQ(ok("list"), escaped + "\t2001-01-01T00:00:00Z\t1\t" + escaped + "\n");
  EXPECT_EQ(ok("events"), "2026-01-01T00:00:00.000Z\t" + escaped + "\n");
  for (const char* arguments : {"defaults read", "export", "export --format geojson"}) {
    const auto out = ok(arguments);
    EXPECT_FALSE(hasRawControl(out)) << arguments << ": " << out;
    EXPECT_NE(out.find("\\u009b31mD"), std::string::npos) << arguments << ": " << out;
  }
  EXPECT_EQ(json::parse(ok("export"))[0]["title"], hostile) << "escaped, the JSON still reads back the same";
  const auto run = cli("delete " + quoted(hostile + "x"));
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(hasRawControl(run.err)) << run.err;
}

// Permission bits, e.g. 0600.
unsigned modeOf(const fs::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xffff;
}

TEST_F(CliTest, DataIsPrivateToItsOwnerWhateverTheUmask) {
  const mode_t savedUmask = ::umask(0);  // the loosest: every file as its creator asks
  const auto store = data_ / kavrano::SqlitePreferenceStore::kFileName;
  const auto events = data_ / kavrano::LocalEventStore::kFileName;
  {
    // What an earlier version left: all readable, the store held open by the app, so -wal and -shm exist.
    fs::create_directories(data_);
    fs::permissions(data_, fs::perms::all);
    auto app = kavrano::SqlitePreferenceStore::open(store);
    ASSERT_TRUE(app) << app.failure().reason;
    ASSERT_TRUE(app.value()->setBool(true, "FLAG"));
    std::ofstream(events) << "2026-01-01T00:00:00.000Z\tadded_pin\n";
    fs::permissions(events, fs::perms::all);
    ASSERT_TRUE(fs::exists(store.string() + "-wal") && fs::exists(store.string() + "-shm"));
    ASSERT_EQ(modeOf(store), 0644u);

    EXPECT_EQ(ok("units"), "length: m\narea: m²\n");
    EXPECT_EQ(modeOf(data_), 0700u);
    for (const auto& file : {store, fs::path(store.string() + "-wal"), fs::path(store.string() + "-shm"), events})
      EXPECT_EQ(modeOf(file), 0600u) << file;
  }
  // A new directory, and an events file the event store creates itself.
  fs::remove_all(data_);
  ok("units area ha");
  EXPECT_EQ(modeOf(data_), 0700u);
  EXPECT_EQ(modeOf(store), 0600u);
  {
    kavrano::LocalEventStore log(data_);
    log.logEvent("added_pin");
    log.flush();
  }
  EXPECT_EQ(modeOf(events), 0600u);
  ::umask(savedUmask);
}

TEST_F(CliTest, GeoJsonExportOpensAsFeatures) {
  ok("save --title square" + kSquare);
  ok("save --title line 0,0 0,1");
  ok("save --title pin 10,20");
  // A record without vertices can only come from elsewhere; put one in the store directly.
  auto stored = json::parse(ok("export --format json"));
  stored.push_back(json::parse(R"({"id":"00000000-0000-4000-8000-000000000000","date":0,"annotations":[],
                                   "title":"empty","center":{"latitude":0,"longitude":0}})"));
  std::ofstream(root_ / "list.json") << stored.dump();
  ok("defaults write PERSISTED_MEASUREMENTS -data-file " + quoted(root_ / "list.json"));

  const auto collection = json::parse(ok("export --format geojson"));
  EXPECT_EQ(collection["type"], "FeatureCollection");
  const auto& features = collection["features"];
  ASSERT_EQ(features.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    const auto& feature = features[i];
    EXPECT_EQ(json({feature["type"], feature["properties"]["id"], feature["properties"]["title"]}),
              json({"Feature", stored[i]["id"], stored[i]["title"]}));
  }

  EXPECT_EQ(features[0]["geometry"]["type"], "Polygon");
  const auto ring = features[0]["geometry"]["coordinates"][0];
  ASSERT_EQ(ring.size(), 5u);
  EXPECT_EQ(ring.front(), ring.back());
  double twiceSignedArea = 0.0, sides = 0.0;  // lon/lat shoelace: positive when counter-clockwise
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    twiceSignedArea += ring[i][0].get<double>() * ring[i + 1][1].get<double>() -
                       ring[i + 1][0].get<double>() * ring[i][1].get<double>();
    sides += geodesy.distance(kSquarePoints[i], kSquarePoints[(i + 1) % 4]);
  }
  EXPECT_GT(twiceSignedArea, 0.0);
  const auto& square = features[0]["properties"];
  EXPECT_DOUBLE_EQ(square["area_m2"].get<double>(), geodesy.polygonArea(kSquarePoints));
  EXPECT_NEAR(square["area_wgs84_m2"].get<double>(), square["area_m2"].get<double>(),
              0.01 * square["area_m2"].get<double>());
  EXPECT_NEAR(square["perimeter_m"].get<double>(), sides, 1e-6);

  EXPECT_EQ(features[1]["geometry"], json::parse(R"({"type":"LineString","coordinates":[[0,0],[1,0]]})"));
  EXPECT_NEAR(features[1]["properties"]["perimeter_m"].get<double>(), geodesy.distance({0, 0}, {0, 1}), 1e-6);
  EXPECT_EQ(features[1]["properties"]["area_m2"], 0.0);
  EXPECT_EQ(features[2]["geometry"], json::parse(R"({"type":"Point","coordinates":[20,10]})"));
  EXPECT_TRUE(features[3]["geometry"].is_null());
  EXPECT_EQ(features[3]["properties"]["date"], "2001-01-01T00:00:00Z");
}

TEST_F(CliTest, ExportsInEveryFormatImportBackUnderNewIds) {
  const std::string title = "Grundstück <\"Süd\">, & co";
  const std::string square = ok("save --title " + quoted(title) + kSquare).substr(0, 36);
  const std::string line = ok("save --title line 0,0 0,1").substr(0, 36);
  const auto saved = json::parse(ok("export"));

  // Chosen records come in the order asked for; an unknown id is named.
  const auto chosen = json::parse(ok("export --format geojson " + line + " " + square))["features"];
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(json({chosen[0]["id"], chosen[1]["id"]}), json({line, square}));
  expectFailure(cli("export --format kml " + line + " NO-SUCH-ID"), 1, "NO-SUCH-ID", "unknown id");
  EXPECT_EQ(ok("export --format csv " + line),
            "id,title,index,latitude,longitude\r\n" + line + ",line,1,0,0\r\n" + line + ",line,2,0,1\r\n");

  const std::regex ids("([0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\n){2}");
  const std::string listed = std::regex_replace(ok("list"), std::regex(".{36}\t"), "");
  for (const char* format : {"geojson", "kml", "gpx"}) {
    std::ofstream(root_ / (std::string("all.") + format)) << ok(std::string("export --format ") + format);
  }
  for (const char* format : {"geojson", "kml", "gpx"}) {
    SCOPED_TRACE(format);
    const auto file = root_ / (std::string("all.") + format);
    EXPECT_EQ(ok("import --dry-run " + quoted(file)), listed);
    EXPECT_TRUE(std::regex_match(ok("import " + quoted(file)), ids));
  }
  const auto stored = json::parse(ok("export"));
  ASSERT_EQ(stored.size(), 8u);
  for (std::size_t i = 2; i < 8; ++i) {
    const auto& original = saved[i % 2];
    EXPECT_NE(stored[i]["id"], original["id"]);
    EXPECT_EQ(json({stored[i]["title"], stored[i]["date"], stored[i]["annotations"].size()}),
              json({original["title"], original["date"], original["annotations"].size()}));
  }
  // The line's centre is where the app would centre it: between its ends.
  EXPECT_NEAR(stored[3]["center"]["longitude"].get<double>(), 0.5, 1e-12);
}

TEST_F(CliTest, FileWithAnErrorImportsNothingAndSaysWhere) {
  std::ofstream(root_ / "good.geojson") << R"({"type":"Point","coordinates":[6.63,46.52]})";
  std::ofstream(root_ / "bad.kml") << "<kml>\n<Placemark><Point><coordinates>1,2</coordinates></Point></Placemark>\n"
                                      "<Placemark><Point><coordinates>nan,2</coordinates></Point></Placemark>\n</kml>";
  const auto run = cli("import " + quoted(root_ / "good.geojson") + " " + quoted(root_ / "bad.kml"));
  expectFailure(run, 1, "bad.kml:3: coordinates: 'nan' is not a number", "bad file");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
  const auto stored = json::parse(ok("export"));
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0]["title"], "good.geojson 1");
  expectFailure(cli("import " + quoted(root_ / "missing.gpx")), 1, "missing.gpx: cannot be opened", "missing");
  std::ofstream(root_ / "huge.geojson").close();
  fs::resize_file(root_ / "huge.geojson", (64u << 20) + 1);  // sparse: no disk taken
  expectFailure(cli("import " + quoted(root_ / "huge.geojson")), 1, "huge.geojson: is larger than 64 MiB", "huge");
  expectFailure(cli("import"), 2, "import", "no file");
}

TEST_F(CliTest, HelpStartUpAndEvents) {
  const auto help = spawn("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"area", "length", "midpoint", "units", "save", "list", "export", "import", "delete",
                              "events", "defaults read", "defaults write", "defaults delete", "--data-dir", "--locale"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  EXPECT_EQ(spawn("help").out, help.out);
  EXPECT_EQ(spawn("area --help").out, help.out);

  // Without --data-dir the environment decides where the data lives.
  const auto elsewhere = root_ / "from-env";
  EXPECT_EQ(spawn("units area ha", "KAVRANO_DATA_DIR=" + quoted(elsewhere)).status, 0);
  EXPECT_TRUE(fs::exists(elsewhere / "preferences.sqlite3"));
  EXPECT_EQ(spawn("--data-dir " + quoted(elsewhere) + " units").out, "length: m\narea: ha\n");

  // A data directory that is a file can be read (nothing is there) but not written.
  std::ofstream(root_ / "plain-file") << "x";
  EXPECT_EQ(spawn("--data-dir " + quoted(root_ / "plain-file") + " units").out, "length: m\narea: m²\n");
  expectFailure(spawn("--data-dir " + quoted(root_ / "plain-file") + " units area ha"), 1, "plain-file",
                "data dir is a file");

  // The events command shows what the event store kept.
  kavrano::LocalEventStore events(data_);
  events.logEvent("added_pin");
  events.logEvent("cleared_pins");
  events.flush();
  std::string expected;
  for (const auto& event : kavrano::LocalEventStore::read(data_)) expected += event.time + "\t" + event.name + "\n";
  ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 2);
  EXPECT_EQ(ok("events"), expected);
}

}  // namespace
