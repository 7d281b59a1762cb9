#include "kavrano/core/sqlite_preference_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

#include "sqlite_memory.h"

namespace kavrano {
namespace {

// Part of the file format: never renumber.
enum class ValueType : int { boolean = 1, integer = 2, text = 3, data = 4 };

// Bumped whenever the layout changes; `migrate` is the one place that knows every layout.
constexpr int kSchemaVersion = 1;

// Long enough to ride out another process's write and a checkpoint, short enough
// that a stuck peer turns into a failed write rather than a hang.
constexpr int kBusyTimeoutMs = 5000;

// Larger values (the saved list) are read afresh every time; see storedValue.
constexpr std::size_t kLargestRememberedValue = std::size_t{64} * 1024;

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

// What went wrong on `db`, in words a user can act on.
// The operating system's error of the last failed call on the log or the database
// file: SQLite's own record of it is the process's errno, often overwritten by then.
int systemErrno(sqlite3* db) {
  int errnum = 0;
  sqlite3_file* log = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) == SQLITE_OK && log && log->pMethods)
    log->pMethods->xFileControl(log, SQLITE_FCNTL_LAST_ERRNO, &errnum);
  if (errnum == 0) sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &errnum);
  return errnum != 0 ? errnum : sqlite3_system_errno(db);
}

Failure failureOf(sqlite3* db) {
  const int code = sqlite3_extended_errcode(db);
  const int errnum = systemErrno(db);
  const std::string detail = sqlite3_errmsg(db);
  if (errnum == ENOSPC || (code & 0xff) == SQLITE_FULL) return {"The disk is full", Failure::Kind::diskFull};
  if (errnum == EDQUOT) return {"The disk quota is used up", Failure::Kind::diskFull};
  if (errnum == EFBIG) return {"The file has reached the size limit set for this program", Failure::Kind::diskFull};
  if (errnum == EROFS) return {"The disk is read-only", Failure::Kind::readOnly};
  switch (code & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return {"The data folder or its file is read-only", Failure::Kind::readOnly};
    case SQLITE_CANTOPEN:
      return {"The data file cannot be opened (" + detail + ")", Failure::Kind::readOnly};
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return {"Another program kept the saved data locked for too long", Failure::Kind::busy};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return {"The data file is damaged (" + detail + ")", Failure::Kind::unreadableFile};
    case SQLITE_IOERR:
      return {"The disk could not be written (" + detail + ")"};
    case SQLITE_TOOBIG:
      return {"The value is too large to store", Failure::Kind::tooLarge};
    default:
      return {"The data file could not be used (" + detail + ")"};
  }
}

// None when the file is ours to use: empty, or our layout at a version we know.
std::optional<Failure> ownership(sqlite3* db) {
  // One statement, so both answers come from one snapshot even while another
  // process is creating the table.
  Statement statement(db,
                      "SELECT (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_master)");
  if (!statement.prepared() || statement.step() != SQLITE_ROW) return failureOf(db);
  const std::int64_t version = sqlite3_column_int64(statement.get(), 0);
  const std::int64_t objects = sqlite3_column_int64(statement.get(), 1);
  if (version > kSchemaVersion) {
    return Failure{"The data file was written by a newer version (schema " + std::to_string(version) + ")",
                   Failure::Kind::unreadableFile};
  }
  // Unversioned and not empty means another program's database.
  if (version == 0 && objects != 0) {
    return Failure{"The data file is an SQLite database of another program", Failure::Kind::unreadableFile};
  }
  return std::nullopt;
}

// Brings the file to kSchemaVersion under a write lock, so two processes opening
// a new file at once create the table once.
std::optional<Failure> migrate(sqlite3* db) {
  if (!exec(db, "BEGIN IMMEDIATE")) return failureOf(db);
  auto fail = [&](Failure problem) {
    exec(db, "ROLLBACK");
    return problem;
  };
  if (auto problem = ownership(db)) return fail(*problem);
  const auto version = singleInteger(db, "PRAGMA user_version");
  if (!version) return fail(failureOf(db));
  if (*version < 1) {
    if (!exec(db, "CREATE TABLE preferences (key TEXT PRIMARY KEY NOT NULL, type INTEGER NOT NULL, value)") ||
        !exec(db, "PRAGMA user_version = 1")) {
      return fail(failureOf(db));
    }
  }
  // A later layout adds `if (*version < 2) { ...; PRAGMA user_version = 2 }` here.
  if (!exec(db, "COMMIT")) return fail(failureOf(db));
  return std::nullopt;
}

// A path as the path part of a "file:" URI.
std::string uriEscaped(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
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
std::optional<Failure> prepare(sqlite3* db, bool readOnly) {
  configure(db);
  if (auto problem = ownership(db)) return problem;
  const auto check = singleText(db, "PRAGMA quick_check");
  if (!check) return failureOf(db);
  if (*check != "ok") return Failure{"The data file is damaged (" + *check + ")", Failure::Kind::unreadableFile};
  if (!exec(db, "PRAGMA cell_size_check = ON")) return failureOf(db);
  if (readOnly) return std::nullopt;  // a file without our table yet reads as empty
  // The saved measurements are one value of several megabytes: large pages keep it
  // to a few dozen overflow pages instead of thousands. Only a new file takes it.
  if (!exec(db, "PRAGMA page_size = 65536")) return failureOf(db);
  const auto mode = singleText(db, "PRAGMA journal_mode = WAL");
  if (!mode) return failureOf(db);
  // A folder where the log cannot be created is one we cannot write in.
  if (*mode != "wal") return Failure{"The data folder is read-only", Failure::Kind::readOnly};
  if (!exec(db, "PRAGMA synchronous = FULL")) return failureOf(db);
  // Without these the log grows by the whole list on every save until a
  // checkpoint at 1,000 pages (64 MB with our pages) and never shrinks.
  const auto pageSize = singleInteger(db, "PRAGMA page_size");
  if (!pageSize || *pageSize <= 0) return failureOf(db);
  const std::string limits =
      "PRAGMA wal_autocheckpoint = " +
      std::to_string(std::max<std::int64_t>(1, SqlitePreferenceStore::kCheckpointBytes / *pageSize)) +
      "; PRAGMA journal_size_limit = " + std::to_string(SqlitePreferenceStore::kLogSizeLimit);
  if (!exec(db, limits.c_str())) return failureOf(db);
  if (auto problem = migrate(db)) return problem;
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  Statement probe(db, "SELECT key, type, value FROM preferences LIMIT 0");
  if (!probe.prepared())
    return Failure{std::string("The data file has an unexpected layout: ") + sqlite3_errmsg(db),
                   Failure::Kind::unreadableFile};
  return std::nullopt;
}

}  // namespace

Result<std::unique_ptr<SqlitePreferenceStore>> SqlitePreferenceStore::open(const std::filesystem::path& file,
                                                                           Access access) {
  detail::useSqliteMemoryThatKeepsLargeBlocks();
  const bool readOnly = access == Access::readOnly;
  auto fail = [&](Failure failure) -> Result<std::unique_ptr<SqlitePreferenceStore>> {
    failure.reason += " (" + file.string() + ")";
    return failure;
  };
  if (!readOnly && file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) return fail({"The data folder cannot be created (" + ec.message() + ")", Failure::Kind::readOnly});
  }
  // Two processes opening a new file at once can collide where SQLite will not wait
  // (both switching it to write-ahead logging); the loser starts over. A read-only
  // folder without the log's index beside the file can only be read as a file that
  // nobody changes (SQLite's "immutable").
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  bool immutable = false;
  for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
    sqlite3* db = nullptr;
    // Our mutex serialises every use of the connection, so SQLite's own is redundant.
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    const std::string name = immutable ? "file:" + uriEscaped(file.string()) + "?immutable=1" : file.string();
    const int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
      Failure failure = db ? failureOf(db) : Failure{sqlite3_errstr(rc)};
      sqlite3_close_v2(db);
      return fail(failure);
    }
    // A file SQLite opened read-only by itself (write-protected) is not ours to write.
    if (!readOnly && sqlite3_db_readonly(db, "main") == 1) {
      sqlite3_close_v2(db);
      return fail({"The data file is read-only", Failure::Kind::readOnly});
    }
    // Until the file is known to be ours, closing must not fold a log found beside it
    // into it; a log we made ourselves is empty and goes on close as usual.
    std::error_code ec;
    if (std::filesystem::exists(file.string() + "-wal", ec))
      sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    const auto problem = prepare(db, readOnly);
    if (!problem) return std::unique_ptr<SqlitePreferenceStore>(new SqlitePreferenceStore(db, readOnly));
    const int code = sqlite3_extended_errcode(db) & 0xff;
    sqlite3_close_v2(db);
    if (readOnly && !immutable && (code == SQLITE_CANTOPEN || code == SQLITE_READONLY)) {
      immutable = true;
      continue;
    }
    if (problem->kind != Failure::Kind::busy || std::chrono::steady_clock::now() >= deadline) return fail(*problem);
    std::this_thread::sleep_for(pause);
  }
}

// Kept for the connection's life; each use binds, steps and resets. A statement
// that failed to prepare stays null and every use of it reports failure.
struct SqlitePreferenceStore::Statements {
  explicit Statements(sqlite3* db)
      : select(prepare(db, "SELECT type, value FROM preferences WHERE key = ?1")),
        // Kind and length come from the record's header, without reading the value.
        measure(prepare(db, "SELECT rowid, type, typeof(value), length(value) FROM preferences WHERE key = ?1")),
        exists(prepare(db, "SELECT 1 FROM preferences WHERE key = ?1")),
        upsert(prepare(db,
                       "INSERT INTO preferences (key, type, value) VALUES (?1, ?2, ?3) "
                       "ON CONFLICT (key) DO UPDATE SET type = excluded.type, value = excluded.value")),
        erase(prepare(db, "DELETE FROM preferences WHERE key = ?1")),
        copy(prepare(db,
                     "INSERT INTO preferences (key, type, value) SELECT ?2, type, value FROM preferences "
                     "WHERE key = ?1")),
        sameRows(prepare(db,
                         "SELECT count(*) FROM preferences a JOIN preferences b ON b.key = ?2 WHERE a.key = ?1 "
                         "AND a.type IS b.type AND typeof(a.value) = typeof(b.value) AND a.value IS b.value")),
        dataVersion(prepare(db, "PRAGMA data_version")) {}
  ~Statements() {
    for (sqlite3_stmt* statement : {select, measure, exists, upsert, erase, copy, sameRows, dataVersion})
      sqlite3_finalize(statement);
  }
  Statements(const Statements&) = delete;
  Statements& operator=(const Statements&) = delete;

  static sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) return nullptr;
    return statement;
  }

  sqlite3_stmt* select;
  sqlite3_stmt* measure;
  sqlite3_stmt* exists;
  sqlite3_stmt* upsert;
  sqlite3_stmt* erase;
  sqlite3_stmt* copy;
  sqlite3_stmt* sameRows;
  sqlite3_stmt* dataVersion;
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

void bindKey(sqlite3_stmt* statement, const std::string& key, int index = 1) {
  sqlite3_bind_text64(statement, index, key.data(), key.size(), SQLITE_STATIC, SQLITE_UTF8);
}

Failure missingStatement(sqlite3* db) {
  Failure failure = failureOf(db);
  // A read-only file made by nobody yet has no table to write into.
  if (failure.kind == Failure::Kind::other) failure = {"The data file cannot be written here", Failure::Kind::readOnly};
  return failure;
}

int blobBytes(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

}  // namespace

Result<std::optional<std::string_view>> SqlitePreferenceStore::readData(const std::string& key,
                                                                        std::size_t largest) const {
  using Found = std::optional<std::string_view>;
  sqlite3_stmt* statement = statements_->measure;
  if (!statement) return failureOf(db_);
  // The statement's read stays open until the bytes are copied: both see one snapshot.
  StatementUse use(statement);
  bindKey(statement, key);
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return Found{};
  if (rc != SQLITE_ROW) return failureOf(db_);
  const auto* storage = reinterpret_cast<const char*>(sqlite3_column_text(statement, 2));
  const bool isData = sqlite3_column_type(statement, 1) == SQLITE_INTEGER &&
                      sqlite3_column_int(statement, 1) == static_cast<int>(ValueType::data) && storage &&
                      std::string_view(storage) == "blob";
  const auto size = static_cast<std::size_t>(std::max<sqlite3_int64>(0, sqlite3_column_int64(statement, 3)));
  if (!isData || size > largest || size > INT_MAX) return Found{};
  if (size > readCapacity_) {
    // Room to grow: the list gets longer by a record at a time, and every new buffer
    // of its size is fresh pages. Pages never written are never taken from the kernel.
    const std::size_t capacity = std::min<std::size_t>(size + size / 8, INT_MAX);
    readBuffer_.reset();  // the old one goes before the new one is taken
    readBuffer_ = std::make_unique_for_overwrite<char[]>(capacity);
    readCapacity_ = capacity;
  }
  if (size == 0) return Found(std::string_view());
  sqlite3_blob* blob = nullptr;
  const int opened =
      sqlite3_blob_open(db_, "main", "preferences", "value", sqlite3_column_int64(statement, 0), 0, &blob);
  const int read = opened == SQLITE_OK ? sqlite3_blob_read(blob, readBuffer_.get(), blobBytes(size), 0) : opened;
  sqlite3_blob_close(blob);
  if (read != SQLITE_OK) return failureOf(db_);
  return Found(std::string_view(readBuffer_.get(), size));
}

class SqlitePreferenceStore::Transaction final : public PreferenceTransaction {
 public:
  Transaction(const SqlitePreferenceStore& store, sqlite3* db, Statements& statements)
      : store_(store), db_(db), statements_(statements) {}
  ~Transaction() override = default;
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  Result<bool> contains(const std::string& key) override {
    if (!statements_.exists) return failureOf(db_);
    StatementUse use(statements_.exists);
    bindKey(statements_.exists, key);
    const int rc = sqlite3_step(statements_.exists);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return failureOf(db_);
    return rc == SQLITE_ROW;
  }

  Result<std::optional<std::string_view>> data(const std::string& key, std::size_t largest) override {
    return store_.readData(key, largest);
  }

  Result<void> copy(const std::string& from, const std::string& to) override {
    if (!statements_.copy || !statements_.sameRows) return failureOf(db_);
    {
      StatementUse use(statements_.copy);
      bindKey(statements_.copy, from);
      bindKey(statements_.copy, to, 2);
      if (sqlite3_step(statements_.copy) != SQLITE_DONE) return failureOf(db_);
    }
    StatementUse use(statements_.sameRows);
    bindKey(statements_.sameRows, from);
    bindKey(statements_.sameRows, to, 2);
    if (sqlite3_step(statements_.sameRows) != SQLITE_ROW) return failureOf(db_);
    if (sqlite3_column_int64(statements_.sameRows, 0) != 1) return Failure{"The copy does not match the original"};
    return {};
  }

  Result<void> setData(const std::string& key, std::string_view bytes) override {
    sqlite3_stmt* statement = statements_.upsert;
    if (!statement) return missingStatement(db_);
    StatementUse use(statement);
    bindKey(statement, key);
    sqlite3_bind_int(statement, 2, static_cast<int>(ValueType::data));
    if (bytes.size() > INT_MAX) return Failure{"The value is too large to store", Failure::Kind::tooLarge};
    // Bound without a copy; SQLite's record of it comes from a block kept from the
    // last write of this size (sqlite_memory.cpp).
    if (bytes.empty()) {
      sqlite3_bind_zeroblob(statement, 3, 0);
    } else {
      sqlite3_bind_blob64(statement, 3, bytes.data(), bytes.size(), SQLITE_STATIC);
    }
    if (sqlite3_step(statement) != SQLITE_DONE) return failureOf(db_);
    return {};
  }

 private:
  const SqlitePreferenceStore& store_;
  sqlite3* db_;
  Statements& statements_;
};

namespace {

// The first region of the file's log index (SQLite's "-shm"), mapped as SQLite maps it
// for its own connections; none outside write-ahead logging. It stays mapped while the
// connection lives, and while it does no other connection can leave that mode (which
// takes the file's exclusive lock).
const volatile unsigned char* mappedLogIndex(sqlite3* db) {
  const auto mode = singleText(db, "PRAGMA journal_mode");
  if (!mode || *mode != "wal") return nullptr;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods ||
      file->pMethods->iVersion < 2 || !file->pMethods->xShmMap)
    return nullptr;
  // SQLite's region size for the log index (WALINDEX_PGSZ); another size is refused.
  constexpr int kRegionBytes = 32768;
  void volatile* region = nullptr;
  if (file->pMethods->xShmMap(file, 0, kRegionBytes, 0, &region) != SQLITE_OK) return nullptr;
  return static_cast<const volatile unsigned char*>(region);
}

}  // namespace

SqlitePreferenceStore::SqlitePreferenceStore(sqlite3* db, bool readOnly)
    : db_(db), readOnly_(readOnly), statements_(std::make_unique<Statements>(db)), logIndex_(mappedLogIndex(db)) {}

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

bool SqlitePreferenceStore::cacheStillValid() const {
  if (logIndex_) {
    // The log index's header, which every commit rewrites (its frame count and
    // checksums, or its salt when the log starts over), mapped from the file all
    // connections share. A writer writes the second copy, then the first: copies that
    // differ are a commit under way, trusted neither way.
    LogIndexHeader first;
    LogIndexHeader second;
    std::memcpy(&first, const_cast<const unsigned char*>(logIndex_), sizeof first);
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(&second, const_cast<const unsigned char*>(logIndex_) + sizeof first, sizeof second);
    const bool settled = first == second;
    const bool same = settled && cacheVersion_ == 0 && first == cachedHeader_;
    cachedHeader_ = first;
    cacheVersion_ = settled ? 0 : -1;
    return same;
  }
  // Without a shared log index (a read-only copy), SQLite's data version: the same
  // answer at the price of a read transaction's locks.
  std::int64_t version = -1;
  if (sqlite3_stmt* probe = statements_->dataVersion) {
    StatementUse use(probe);
    if (sqlite3_step(probe) == SQLITE_ROW) version = sqlite3_column_int64(probe, 0);
  }
  const bool same = version >= 0 && version == cacheVersion_;
  cacheVersion_ = version;
  return same;
}

std::optional<PreferenceValue> SqlitePreferenceStore::storedValue(const std::string& key) const {
  std::lock_guard lock(mutex_);
  // Any commit by another connection, in this process or another, makes the answers
  // kept so far stale.
  if (!cacheStillValid()) cache_.clear();
  const bool cacheable = cacheVersion_ >= 0;
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
  if (cacheable && (!bytes || bytes->size() <= kLargestRememberedValue)) cache_.emplace(key, value);
  return value;
}

void SqlitePreferenceStore::readStoredData(const std::string& key, std::size_t largest,
                                           const std::function<void(std::optional<std::string_view>)>& use) const {
  std::lock_guard lock(mutex_);
  const auto read = readData(key, largest);
  use(read ? read.value() : std::nullopt);
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

Result<void> SqlitePreferenceStore::write(const std::string& key, const PreferenceValue& value) {
  std::lock_guard lock(mutex_);
  cache_.clear();
  // One autocommit statement: it lands whole or not at all.
  sqlite3_stmt* statement = statements_->upsert;
  if (!statement) return missingStatement(db_);
  StatementUse use(statement);
  bindKey(statement, key);
  bindValue(statement, 2, 3, value);
  if (sqlite3_step(statement) != SQLITE_DONE) return failureOf(db_);
  return {};
}

Result<void> SqlitePreferenceStore::erase(const std::string& key) {
  std::lock_guard lock(mutex_);
  cache_.clear();
  sqlite3_stmt* statement = statements_->erase;
  if (!statement) return missingStatement(db_);
  StatementUse use(statement);
  bindKey(statement, key);
  if (sqlite3_step(statement) != SQLITE_DONE) return failureOf(db_);
  return {};
}

Result<void> SqlitePreferenceStore::transaction(const std::function<Result<void>(PreferenceTransaction&)>& body) {
  std::lock_guard lock(mutex_);
  cache_.clear();
  if (!statements_->upsert) return missingStatement(db_);
  // IMMEDIATE takes the write lock before the first read, so the value read is the
  // one replaced: another process's change waits instead of being overwritten.
  if (!exec(db_, "BEGIN IMMEDIATE")) return failureOf(db_);
  Result<void> result;
  {
    Transaction transaction(*this, db_, *statements_);
    result = body(transaction);
  }
  if (result && !exec(db_, "COMMIT")) result = failureOf(db_);
  // SQLite ends some failed transactions by itself (a full disk, for one).
  if (!result && !sqlite3_get_autocommit(db_)) exec(db_, "ROLLBACK");
  return result;
}

}  // namespace kavrano
