#include "kavrano/core/sqlite_preference_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <thread>

namespace kavrano {
namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::pair<std::string, PreferenceValue>>;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A connection of its own, for what the store must survive but never does itself.
class RawConnection {
 public:
  explicit RawConnection(const fs::path& file) { sqlite3_open(file.string().c_str(), &db_); }
  ~RawConnection() { sqlite3_close(db_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  [[nodiscard]] std::string exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    std::string text = rc == SQLITE_OK ? "" : (message ? message : "error");
    sqlite3_free(message);
    return text;
  }

 private:
  sqlite3* db_ = nullptr;
};

class SqlitePreferenceStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> serial{0};
    dir_ = fs::temp_directory_path() /
           ("kavrano-sqlite-store-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / SqlitePreferenceStore::kFileName;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<SqlitePreferenceStore> openStore() {
    std::string error;
    auto store = SqlitePreferenceStore::open(file_, &error);
    if (!store) throw std::runtime_error("cannot open " + file_.string() + ": " + error);
    return store;
  }

  // Open must fail, say why and where, and leave the folder exactly as it was.
  void expectRefusedAndUntouched(const std::string& what) {
    const std::string before = readFile(file_);
    const auto namesBefore = listing(dir_);
    std::string error;
    EXPECT_EQ(SqlitePreferenceStore::open(file_, &error), nullptr) << what;
    EXPECT_NE(error.find(file_.string()), std::string::npos) << what << ": " << error;
    EXPECT_TRUE(readFile(file_) == before) << what << ": file changed";
    EXPECT_EQ(listing(dir_), namesBefore) << what;
  }

  fs::path dir_;
  fs::path file_;
};

TEST_F(SqlitePreferenceStoreTest, ValuesOverwritesAndRemovalsPersistWithKindAndBytes) {
  file_ = dir_ / "a" / "b" / SqlitePreferenceStore::kFileName;  // folders made on first open
  const std::string squareMetres = "m\xC2\xB2";
  const Bytes withNuls{0x00, 0x01, 0x00, 0xFF, 0x00};
  const Entries expected{
      {"AREA_UNIT", squareMetres},
      {"BOOL_FALSE", false},
      {"BOOL_TRUE", true},
      {"DATA", withNuls},
      {"EMPTY_DATA", Bytes{}},
      {"EMPTY_TEXT", std::string()},
      {"INT_MAX", std::numeric_limits<std::int64_t>::max()},
      {"INT_MIN", std::numeric_limits<std::int64_t>::min()},
      {"INT_ONE", std::int64_t{1}},
      {"TEXT_WITH_NUL", std::string("a\0b", 3)},
      {"UNIT", std::string("km")},
      {std::string("key\0with nul", 12), std::int64_t{7}},
  };
  {
    auto store = openStore();
    store->setInteger(5, "UNIT");
    store->setBool(true, "GONE");
    for (const auto& [key, value] : expected) {
      store->setValue(value, key);
      EXPECT_TRUE(store->lastWriteSucceeded()) << key;
    }
    store->removeObject("GONE");
    store->removeObject("NEVER_THERE");
    EXPECT_TRUE(store->lastWriteSucceeded());
    // Variant equality also compares the kind: true must not come back as 1,
    // nor empty data as empty text or as nothing.
    EXPECT_EQ(store->storedEntries(), expected);
  }
  auto reopened = openStore();
  EXPECT_EQ(reopened->storedEntries(), expected);
  EXPECT_EQ(reopened->stringForKey("AREA_UNIT"), squareMetres);
  EXPECT_EQ(reopened->dataForKey("DATA"), withNuls);
  EXPECT_EQ(reopened->integrityCheck(), "ok");
}

TEST_F(SqlitePreferenceStoreTest, RefusesFilesThatAreNotItsDatabaseAndLeavesThemAsTheyWere) {
  std::mt19937 rng(7);
  std::string noise(8192, '\0');
  for (auto& c : noise) c = static_cast<char>(rng());
  // The SQLite magic with nonsense behind it gets past the first header check.
  std::string fakeHeader = std::string("SQLite format 3", 16) + noise;

  for (const auto& [what, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"short text", "not a database\n"}, {"random bytes", noise}, {"magic then noise", fakeHeader}}) {
    writeFile(file_, bytes);
    expectRefusedAndUntouched(what);
    fs::remove(file_);
  }

  {
    RawConnection other(file_);
    ASSERT_EQ(other.exec("CREATE TABLE photos (id INTEGER PRIMARY KEY, name TEXT); INSERT INTO photos VALUES (1, 'x')"),
              "");
  }
  expectRefusedAndUntouched("another program's database");
  fs::remove(file_);

  (void)openStore();
  {
    RawConnection newer(file_);
    ASSERT_EQ(newer.exec("PRAGMA user_version = 99"), "");
  }
  expectRefusedAndUntouched("a newer schema");
}

TEST_F(SqlitePreferenceStoreTest, RowsItDidNotWriteReadAsNothing) {
  {
    auto store = openStore();
    store->setString("m", "LENGTH_UNIT");
  }
  {
    RawConnection editor(file_);
    ASSERT_EQ(editor.exec("INSERT INTO preferences VALUES ('TEXT_AS_BLOB', 3, x'00'), ('NULL_VALUE', 1, NULL), "
                          "('UNKNOWN_TYPE', 42, 1), ('TEXT_TYPE', 'x', 1)"),
              "");
  }
  auto store = openStore();
  EXPECT_EQ(store->storedValue("TEXT_AS_BLOB"), std::nullopt);
  EXPECT_EQ(store->storedValue("UNKNOWN_TYPE"), std::nullopt);
  EXPECT_EQ(store->storedEntries(), (Entries{{"LENGTH_UNIT", std::string("m")}}));
}

// Each store reads a key just before the other changes it, so an answer kept from
// that read would show here.
TEST_F(SqlitePreferenceStoreTest, TwoStoresOnOneFileSeeEachOthersWrites) {
  auto first = openStore();
  auto second = openStore();
  for (std::int64_t i = 0; i < 6; ++i) {
    auto& writer = i % 2 == 0 ? *first : *second;
    auto& reader = i % 2 == 0 ? *second : *first;
    (void)reader.storedValue("COUNT");
    writer.setInteger(i, "COUNT");
    EXPECT_EQ(reader.storedValue("COUNT"), PreferenceValue(i)) << i;
    EXPECT_EQ(reader.storedEntries(), (Entries{{"COUNT", i}})) << i;
  }
  first->removeObject("COUNT");
  EXPECT_EQ(second->storedValue("COUNT"), std::nullopt);
}

// Waits out the busy timeout (about five seconds) once.
TEST_F(SqlitePreferenceStoreTest, WriteBlockedByAnotherWriterFailsAndKeepsThePreviousValue) {
  auto store = openStore();
  store->setInteger(1, "COUNT");
  RawConnection other(file_);
  ASSERT_EQ(other.exec("BEGIN IMMEDIATE"), "");

  store->setInteger(2, "COUNT");
  EXPECT_FALSE(store->lastWriteSucceeded());
  EXPECT_EQ(store->storedValue("COUNT"), PreferenceValue(std::int64_t{1}));

  ASSERT_EQ(other.exec("ROLLBACK"), "");
  store->setInteger(3, "COUNT");
  EXPECT_TRUE(store->lastWriteSucceeded());
  EXPECT_EQ(store->storedValue("COUNT"), PreferenceValue(std::int64_t{3}));
}

TEST_F(SqlitePreferenceStoreTest, ThreadsSharingOneStoreLoseNothing) {
  auto store = openStore();
  constexpr int kThreads = 4;
  constexpr int kWrites = 40;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kWrites; ++i) {
        const std::string key = "T" + std::to_string(t) + "." + std::to_string(i);
        store->setInteger(i, key);
        if (store->storedValue(key) != PreferenceValue(std::int64_t{i})) ++failures;
        (void)store->storedEntries();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(store->storedEntries().size(), static_cast<std::size_t>(kThreads * kWrites));
  EXPECT_EQ(store->integrityCheck(), "ok");
}

}  // namespace
}  // namespace kavrano
