#include "kavrano/core/sqlite_preference_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

namespace kavrano {
namespace {

// Part of the file format: never renumber.
enum class ValueType : int { boolean = 1, integer = 2, text = 3, data = 4 };

// Bumped whenever the layout changes; `migrate` is the one place that knows every layout.
constexpr int kSchemaVersion = 1;

// Long enough to ride out another process's write and a checkpoint, short enough
// that a stuck peer turns into a failed write rather than a hang.
constexpr int kBusyTimeoutMs = 5000;

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : rc_(sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr)) {}
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  [[nodiscard]] bool prepared() const { return rc_ == SQLITE_OK && stmt_ != nullptr; }
  [[nodiscard]] sqlite3_stmt* get() const { return stmt_; }
  [[nodiscard]] int step() const { return sqlite3_step(stmt_); }

  void bindText(int index, const std::string& text) const {
    sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_;
};

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// The first column of the first row as text; none when the statement fails.
std::optional<std::string> singleText(sqlite3* db, const char* sql) {
  Statement statement(db, sql);
  if (!statement.prepared() || statement.step() != SQLITE_ROW) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
  return std::string(text ? text : "", sqlite3_column_bytes(statement.get(), 0));
}

std::optional<std::int64_t> singleInteger(sqlite3* db, const char* sql) {
  Statement statement(db, sql);
  if (!statement.prepared() || statement.step() != SQLITE_ROW) return std::nullopt;
  return sqlite3_column_int64(statement.get(), 0);
}

// A row whose type and storage class disagree was not written by us; it reads as nothing.
std::optional<PreferenceValue> columnValue(sqlite3_stmt* statement, int typeColumn, int valueColumn) {
  if (sqlite3_column_type(statement, typeColumn) != SQLITE_INTEGER) return std::nullopt;
  const int storage = sqlite3_column_type(statement, valueColumn);
  switch (static_cast<ValueType>(sqlite3_column_int(statement, typeColumn))) {
    case ValueType::boolean:
      if (storage == SQLITE_INTEGER) return sqlite3_column_int64(statement, valueColumn) != 0;
      break;
    case ValueType::integer:
      if (storage == SQLITE_INTEGER) return static_cast<std::int64_t>(sqlite3_column_int64(statement, valueColumn));
      break;
    case ValueType::text:
      if (storage == SQLITE_TEXT) {
        // Pointer first, then length: the documented order that avoids a conversion.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, valueColumn));
        return std::string(text ? text : "", sqlite3_column_bytes(statement, valueColumn));
      }
      break;
    case ValueType::data:
      if (storage == SQLITE_BLOB) {
        const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, valueColumn));
        const int size = sqlite3_column_bytes(statement, valueColumn);
        return bytes ? Bytes(bytes, bytes + size) : Bytes{};
      }
      break;
  }
  return std::nullopt;
}

void bindValue(sqlite3_stmt* statement, int typeIndex, int valueIndex, const PreferenceValue& value) {
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          sqlite3_bind_int(statement, typeIndex, static_cast<int>(ValueType::boolean));
          sqlite3_bind_int64(statement, valueIndex, v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          sqlite3_bind_int(statement, typeIndex, static_cast<int>(ValueType::integer));
          sqlite3_bind_int64(statement, valueIndex, v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          sqlite3_bind_int(statement, typeIndex, static_cast<int>(ValueType::text));
          sqlite3_bind_text64(statement, valueIndex, v.data(), v.size(), SQLITE_STATIC, SQLITE_UTF8);
        } else {
          sqlite3_bind_int(statement, typeIndex, static_cast<int>(ValueType::data));
          // A null pointer would bind NULL, and an empty byte string must stay one.
          if (v.empty()) {
            sqlite3_bind_zeroblob(statement, valueIndex, 0);
          } else {
            sqlite3_bind_blob64(statement, valueIndex, v.data(), v.size(), SQLITE_STATIC);
          }
        }
      },
      value);
}

// Why a file cannot be used; `busy` when another process merely held a lock that
// SQLite would not wait for (it refuses to wait where waiting could deadlock).
struct Problem {
  std::string why;
  bool busy = false;
};

Problem lastProblem(sqlite3* db) {
  const int code = sqlite3_extended_errcode(db) & 0xff;
  return {sqlite3_errmsg(db), code == SQLITE_BUSY || code == SQLITE_LOCKED};
}

// None when the file is ours to use: empty, or our layout at a version we know.
std::optional<Problem> ownership(sqlite3* db) {
  // One statement, so both answers come from one snapshot even while another
  // process is creating the table.
  Statement statement(db,
                      "SELECT (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_master)");
  if (!statement.prepared() || statement.step() != SQLITE_ROW) return lastProblem(db);
  const std::int64_t version = sqlite3_column_int64(statement.get(), 0);
  const std::int64_t objects = sqlite3_column_int64(statement.get(), 1);
  if (version > kSchemaVersion) {
    return Problem{"written by a newer version (schema " + std::to_string(version) + "); left as it is"};
  }
  // Unversioned and not empty means another program's database.
  if (version == 0 && objects != 0) return Problem{"an SQLite database of another kind; left as it is"};
  return std::nullopt;
}

// Brings the file to kSchemaVersion under a write lock, so two processes opening
// a new file at once create the table once.
std::optional<Problem> migrate(sqlite3* db) {
  if (!exec(db, "BEGIN IMMEDIATE")) return lastProblem(db);
  auto fail = [&](Problem problem) {
    exec(db, "ROLLBACK");
    return problem;
  };
  if (auto problem = ownership(db)) return fail(*problem);
  const auto version = singleInteger(db, "PRAGMA user_version");
  if (!version) return fail(lastProblem(db));
  if (*version < 1) {
    if (!exec(db, "CREATE TABLE preferences (key TEXT PRIMARY KEY NOT NULL, type INTEGER NOT NULL, value)") ||
        !exec(db, "PRAGMA user_version = 1")) {
      return fail(lastProblem(db));
    }
  }
  // A later layout adds `if (*version < 2) { ...; PRAGMA user_version = 2 }` here.
  if (!exec(db, "COMMIT")) return fail(lastProblem(db));
  return std::nullopt;
}

void configure(sqlite3* db) {
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // The file is shared with other processes and may be edited by hand: nothing in
  // it may run code or bend the schema.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FKEY, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
#ifdef SQLITE_DBCONFIG_ENABLE_VIEW
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
#endif
#ifdef SQLITE_DBCONFIG_TRUSTED_SCHEMA
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
#endif
#ifdef SQLITE_DBCONFIG_DQS_DML
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
#endif
}

// None when `db` is ready for use. Until the file is known to be ours, nothing
// here writes to it: switching the journal mode would.
std::optional<Problem> prepare(sqlite3* db) {
  configure(db);
  if (auto problem = ownership(db)) return problem;
  const auto check = singleText(db, "PRAGMA quick_check");
  if (!check) return lastProblem(db);
  if (*check != "ok") return Problem{"damaged (" + *check + "); left as it is"};
  // The saved measurements are one value of several megabytes: large pages keep it
  // to a few dozen overflow pages instead of thousands. Only a new file takes it.
  if (!exec(db, "PRAGMA page_size = 65536")) return lastProblem(db);
  const auto mode = singleText(db, "PRAGMA journal_mode = WAL");
  if (!mode) return lastProblem(db);
  if (*mode != "wal") return Problem{"cannot use write-ahead logging here (journal mode stays " + *mode + ")"};
  if (!exec(db, "PRAGMA synchronous = FULL") || !exec(db, "PRAGMA cell_size_check = ON")) return lastProblem(db);
  if (auto problem = migrate(db)) return problem;
  Statement probe(db, "SELECT key, type, value FROM preferences LIMIT 0");
  if (!probe.prepared()) return Problem{std::string("unexpected layout: ") + sqlite3_errmsg(db)};
  return std::nullopt;
}

}  // namespace

std::unique_ptr<SqlitePreferenceStore> SqlitePreferenceStore::open(const std::filesystem::path& file,
                                                                   std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<SqlitePreferenceStore> {
    if (error) *error = "preference database " + file.string() + ": " + why;
    return nullptr;
  };
  if (file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) return fail("cannot create its folder: " + ec.message());
  }
  // Two processes opening a new file at once can collide where SQLite will not wait
  // (both switching it to write-ahead logging); the loser starts over.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
    sqlite3* db = nullptr;
    // Our mutex serialises every use of the connection, so SQLite's own is redundant.
    const int rc = sqlite3_open_v2(file.string().c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
      sqlite3_close_v2(db);
      return fail(why);
    }
    const auto problem = prepare(db);
    if (!problem) return std::unique_ptr<SqlitePreferenceStore>(new SqlitePreferenceStore(db));
    sqlite3_close_v2(db);
    if (!problem->busy || std::chrono::steady_clock::now() >= deadline) return fail(problem->why);
    std::this_thread::sleep_for(pause);
  }
}

// Kept for the connection's life; each use binds, steps and resets. A statement
// that failed to prepare stays null and every use of it reports failure.
struct SqlitePreferenceStore::Statements {
  explicit Statements(sqlite3* db)
      : select(prepare(db, "SELECT type, value FROM preferences WHERE key = ?1")),
        upsert(prepare(db,
                       "INSERT INTO preferences (key, type, value) VALUES (?1, ?2, ?3) "
                       "ON CONFLICT (key) DO UPDATE SET type = excluded.type, value = excluded.value")),
        erase(prepare(db, "DELETE FROM preferences WHERE key = ?1")) {}
  ~Statements() {
    for (sqlite3_stmt* statement : {select, upsert, erase}) sqlite3_finalize(statement);
  }
  Statements(const Statements&) = delete;
  Statements& operator=(const Statements&) = delete;

  static sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) return nullptr;
    return statement;
  }

  sqlite3_stmt* select;
  sqlite3_stmt* upsert;
  sqlite3_stmt* erase;
};

namespace {

// Leaves a cached statement ready for its next use, whatever happened in this one;
// a statement left mid-step would hold its read snapshot open.
class StatementUse {
 public:
  explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
  ~StatementUse() {
    if (!statement_) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;

 private:
  sqlite3_stmt* statement_;
};

void bindKey(sqlite3_stmt* statement, const std::string& key) {
  sqlite3_bind_text64(statement, 1, key.data(), key.size(), SQLITE_STATIC, SQLITE_UTF8);
}

constexpr std::size_t kLargestRememberedValue = std::size_t{64} * 1024;
// Every store object in the process drops its remembered reads after any write.
std::atomic<std::uint64_t> writesInThisProcess{1};
}  // namespace

SqlitePreferenceStore::SqlitePreferenceStore(sqlite3* db) : db_(db), statements_(std::make_unique<Statements>(db)) {}

SqlitePreferenceStore::~SqlitePreferenceStore() {
  statements_.reset();
  sqlite3_close_v2(db_);
}

std::vector<std::pair<std::string, PreferenceValue>> SqlitePreferenceStore::storedEntries() const {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<std::string, PreferenceValue>> entries;
  Statement statement(db_, "SELECT key, type, value FROM preferences ORDER BY key");
  if (!statement.prepared()) return entries;
  while (statement.step() == SQLITE_ROW) {
    auto value = columnValue(statement.get(), 1, 2);
    if (!value) continue;
    const auto* key = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    entries.emplace_back(std::string(key ? key : "", sqlite3_column_bytes(statement.get(), 0)), std::move(*value));
  }
  return entries;
}

std::optional<PreferenceValue> SqlitePreferenceStore::storedValue(const std::string& key) const {
  std::lock_guard lock(mutex_);
  // Taken before the query: a write that lands meanwhile makes the next read refill.
  const std::uint64_t generation = writesInThisProcess.load(std::memory_order_acquire);
  const auto now = std::chrono::steady_clock::now();
  if (generation != cacheGeneration_ || now - cacheFilled_ > kOtherProcessDelay) {
    cache_.clear();
    cacheGeneration_ = generation;
    cacheFilled_ = now;
  }
  if (auto hit = cache_.find(key); hit != cache_.end()) return hit->second;
  sqlite3_stmt* statement = statements_->select;
  if (!statement) return std::nullopt;
  StatementUse use(statement);
  bindKey(statement, key);
  const int rc = sqlite3_step(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return std::nullopt;  // not known: ask again next time
  auto value = rc == SQLITE_ROW ? columnValue(statement, 0, 1) : std::nullopt;
  // The saved list runs to megabytes and is read only when a screen opens: keeping a
  // second copy would cost memory and a copy per read for nothing.
  const auto* bytes = value ? std::get_if<Bytes>(&*value) : nullptr;
  if (!bytes || bytes->size() <= kLargestRememberedValue) cache_.emplace(key, value);
  return value;
}

std::string SqlitePreferenceStore::integrityCheck() const {
  std::lock_guard lock(mutex_);
  Statement statement(db_, "PRAGMA integrity_check");
  if (!statement.prepared()) return sqlite3_errmsg(db_);
  std::string verdict;
  int rc;
  while ((rc = statement.step()) == SQLITE_ROW) {
    if (!verdict.empty()) verdict += '\n';
    const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    verdict += line ? line : "";
  }
  if (rc != SQLITE_DONE) {
    if (!verdict.empty()) verdict += '\n';
    verdict += sqlite3_errmsg(db_);
  }
  return verdict;
}

bool SqlitePreferenceStore::lastWriteSucceeded() const {
  std::lock_guard lock(mutex_);
  return lastWriteOk_;
}

void SqlitePreferenceStore::write(const std::string& key, const PreferenceValue& value) {
  std::lock_guard lock(mutex_);
  // One autocommit statement: it lands whole or not at all.
  sqlite3_stmt* statement = statements_->upsert;
  if (!statement) {
    lastWriteOk_ = false;
    return;
  }
  StatementUse use(statement);
  bindKey(statement, key);
  bindValue(statement, 2, 3, value);
  lastWriteOk_ = sqlite3_step(statement) == SQLITE_DONE;
  writesInThisProcess.fetch_add(1, std::memory_order_release);
}

void SqlitePreferenceStore::erase(const std::string& key) {
  std::lock_guard lock(mutex_);
  sqlite3_stmt* statement = statements_->erase;
  if (!statement) {
    lastWriteOk_ = false;
    return;
  }
  StatementUse use(statement);
  bindKey(statement, key);
  lastWriteOk_ = sqlite3_step(statement) == SQLITE_DONE;
  writesInThisProcess.fetch_add(1, std::memory_order_release);
}

}  // namespace kavrano
