#include "kavrano/core/preference_store.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "kavrano/core/data_directory.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/sqlite_preference_store.h"

namespace kavrano {
namespace {

// The object behind standard(): it never moves, so shared services may keep a
// reference to it while tests and start-up swap the backend underneath.
class StandardStore final : public PreferenceStore {
 public:
  void install(std::shared_ptr<PreferenceStore> backend) {
    std::lock_guard lock(mutex_);
    backend_ = std::move(backend);
  }
  [[nodiscard]] std::vector<std::pair<std::string, PreferenceValue>> storedEntries() const override {
    return backend()->storedEntries();
  }
  [[nodiscard]] std::optional<PreferenceValue> storedValue(const std::string& key) const override {
    return backend()->storedValue(key);
  }

 protected:
  void write(const std::string& key, const PreferenceValue& value) override { backend()->setValue(value, key); }
  void erase(const std::string& key) override { backend()->removeObject(key); }

 private:
  std::shared_ptr<PreferenceStore> backend() const {
    std::lock_guard lock(mutex_);
    if (!backend_) {
      std::error_code ignored;
      const auto dir = defaultDataDirectory();
      std::filesystem::create_directories(dir, ignored);
      backend_ = SqlitePreferenceStore::open(dir / SqlitePreferenceStore::kFileName);
      // The store never fails its callers: without a usable file the run keeps its
      // values in memory, and the file on disk is left as it was.
      if (!backend_) backend_ = std::make_shared<MemoryPreferenceStore>();
    }
    return backend_;
  }

  mutable std::mutex mutex_;
  mutable std::shared_ptr<PreferenceStore> backend_;
};

StandardStore& standardStore() {
  static StandardStore store;
  return store;
}

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

std::string lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

PreferenceStore& PreferenceStore::standard() { return standardStore(); }

void PreferenceStore::installStandard(std::shared_ptr<PreferenceStore> backend) {
  standardStore().install(std::move(backend));
}

void PreferenceStore::registerDefaults(const std::map<std::string, PreferenceValue>& defaults) {
  std::lock_guard lock(defaultsMutex_);
  for (const auto& [key, value] : defaults) registeredDefaults_.insert_or_assign(key, value);
}

std::optional<PreferenceValue> PreferenceStore::objectForKey(const std::string& key) const {
  if (auto stored = storedValue(key)) return stored;
  std::lock_guard lock(defaultsMutex_);
  if (auto it = registeredDefaults_.find(key); it != registeredDefaults_.end()) return it->second;
  return std::nullopt;
}

bool PreferenceStore::boolForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return false;
  return std::visit(Overloaded{[](bool b) { return b; }, [](std::int64_t i) { return i != 0; },
                               [](const std::string& s) {
                                 const std::string l = lowercase(s);
                                 return l == "true" || l == "yes" || std::strtoll(s.c_str(), nullptr, 10) != 0;
                               },
                               [](const Bytes&) { return false; }},
                    *value);
}

std::int64_t PreferenceStore::integerForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return 0;
  return std::visit(
      Overloaded{[](bool b) -> std::int64_t { return b ? 1 : 0; }, [](std::int64_t i) { return i; },
                 [](const std::string& s) -> std::int64_t { return std::strtoll(s.c_str(), nullptr, 10); },
                 [](const Bytes&) -> std::int64_t { return 0; }},
      *value);
}

std::optional<std::string> PreferenceStore::stringForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return std::nullopt;
  return std::visit(Overloaded{[](bool b) -> std::optional<std::string> { return b ? "1" : "0"; },
                               [](std::int64_t i) -> std::optional<std::string> { return std::to_string(i); },
                               [](const std::string& s) -> std::optional<std::string> { return s; },
                               [](const Bytes&) -> std::optional<std::string> { return std::nullopt; }},
                    *value);
}

std::optional<Bytes> PreferenceStore::dataForKey(const std::string& key) const {
  auto value = objectForKey(key);
  if (!value) return std::nullopt;
  if (auto* bytes = std::get_if<Bytes>(&*value)) return std::move(*bytes);
  return std::nullopt;
}

}  // namespace kavrano
