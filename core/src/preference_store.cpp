#include "kavrano/core/preference_store.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "kavrano/core/data_directory.h"

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
  [[nodiscard]] Result<void> transaction(const std::function<Result<void>(PreferenceTransaction&)>& body) override {
    return backend()->transaction(body);
  }
  void readStoredData(const std::string& key, std::size_t largest,
                      const std::function<void(std::optional<std::string_view>)>& use) const override {
    backend()->readStoredData(key, largest, use);
  }

 protected:
  Result<void> write(const std::string& key, const PreferenceValue& value) override {
    return backend()->setValue(value, key);
  }
  Result<void> erase(const std::string& key) override { return backend()->removeObject(key); }

 private:
  std::shared_ptr<PreferenceStore> backend() const {
    std::lock_guard lock(mutex_);
    if (!backend_) backend_ = openPreferenceStore(defaultDataDirectory(), StoreFallback::keepInMemory).store;
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

// ASCII only: the C library's tolower follows the process locale.
std::string lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

// The leading integer of a text as strtoll reads it in the C locale (blanks, a sign,
// digits; clamped when out of range; 0 without digits), whatever the process locale.
std::int64_t leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), magnitude);
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (ec == std::errc::invalid_argument) return 0;
  if (ec == std::errc::result_out_of_range || magnitude > kMax + (negative ? 1 : 0)) {
    return negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
  }
  return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

}  // namespace

PreferenceStore& PreferenceStore::standard() { return standardStore(); }

void PreferenceStore::readStoredData(const std::string& key, std::size_t largest,
                                     const std::function<void(std::optional<std::string_view>)>& use) const {
  const auto value = storedValue(key);
  const auto* bytes = value ? std::get_if<Bytes>(&*value) : nullptr;
  if (!bytes || bytes->size() > largest) return use(std::nullopt);
  use(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

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
                                 return l == "true" || l == "yes" || leadingInteger(s) != 0;
                               },
                               [](const Bytes&) { return false; }},
                    *value);
}

std::int64_t PreferenceStore::integerForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return 0;
  return std::visit(Overloaded{[](bool b) -> std::int64_t { return b ? 1 : 0; }, [](std::int64_t i) { return i; },
                               [](const std::string& s) -> std::int64_t { return leadingInteger(s); },
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
