#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>
#include <variant>

#include "commands.h"
#include "kavrano/core/persisted_measurement.h"
#include "output_text.h"

namespace kavrano::cli {
namespace {

/// One line of `defaults read`: texts quoted, data only by size.
std::string describe(const PreferenceValue& value) {
  struct Describe {
    std::string operator()(bool flag) const { return flag ? "true" : "false"; }
    std::string operator()(std::int64_t number) const { return std::to_string(number); }
    std::string operator()(const std::string& text) const { return jsonQuoted(text); }
    std::string operator()(const Bytes& bytes) const { return "<data, " + std::to_string(bytes.size()) + " bytes>"; }
  };
  return std::visit(Describe{}, value);
}

/// The value alone; data as its raw bytes so `> file` gets them back.
void writeBare(std::ostream& out, const PreferenceValue& value) {
  if (const auto* bytes = std::get_if<Bytes>(&value)) {
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    out << *text << '\n';
  } else {
    out << describe(value) << '\n';
  }
}

Result<PreferenceValue> storedUnder(const Context& context, const std::string& key) {
  auto value = context.store.storedValue(key);
  if (!value) return commandFailure("no value is stored under " + quotedArgument(key));
  return std::move(*value);
}

class ReadAllCommand final : public Command {
 public:
  Result<void> run(const Context& context) const override {
    for (const auto& [key, value] : context.store.storedEntries()) {
      context.out << escapedForLine(key) << " = " << describe(value) << '\n';
    }
    return {};
  }
};

class ReadCommand final : public Command {
 public:
  explicit ReadCommand(std::string key) : key_(std::move(key)) {}
  Result<void> run(const Context& context) const override {
    const auto value = storedUnder(context, key_);
    if (!value) return value.failure();
    writeBare(context.out, value.value());
    return {};
  }

 private:
  std::string key_;
};

/// The value to write, or the file its bytes are read from at run time.
using WriteSource = std::variant<PreferenceValue, std::filesystem::path>;

// The largest value a file may give: the saved list's own bound, since restoring a
// list set aside is what the option is for. Checked before anything is read, and
// again while reading, for a pipe or a file that grows.
constexpr std::size_t kLargestDataFile = kMaxMeasurementListBytes;

// The whole file, refused past kLargestDataFile as a usage error: the argument, not
// the machine, is at fault.
Result<Bytes> readDataFile(const std::filesystem::path& file) {
  const auto tooLarge = [&] {
    return usageError("data file " + quotedArgument(file.string()) + " is larger than " +
                      std::to_string(kLargestDataFile >> 20) + " MiB");
  };
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    return commandFailure("cannot read " + quotedArgument(file.string()) + ": it is a directory");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return commandFailure("cannot read " + quotedArgument(file.string()));
  const auto size = std::filesystem::is_regular_file(file, error) ? std::filesystem::file_size(file, error) : 0;
  if (!error && size > kLargestDataFile) return tooLarge();
  Bytes bytes(error ? 0 : size);
  std::size_t filled = 0;
  while (in) {
    // One byte past the bound tells a source that is too long.
    if (bytes.size() == filled) bytes.resize(std::min(kLargestDataFile + 1, std::max<std::size_t>(filled * 2, 65536)));
    in.read(reinterpret_cast<char*>(bytes.data() + filled), static_cast<std::streamsize>(bytes.size() - filled));
    filled += static_cast<std::size_t>(in.gcount());
    if (filled > kLargestDataFile) return tooLarge();
  }
  if (in.bad()) return commandFailure("cannot read " + quotedArgument(file.string()));
  bytes.resize(filled);
  return bytes;
}

class WriteCommand final : public Command {
 public:
  WriteCommand(std::string key, WriteSource source) : key_(std::move(key)), source_(std::move(source)) {}

  Result<void> run(const Context& context) const override {
    if (const auto* value = std::get_if<PreferenceValue>(&source_)) {
      return requireStored(context.store.setValue(*value, key_), context);
    }
    auto bytes = readDataFile(std::get<std::filesystem::path>(source_));
    if (!bytes) return bytes.failure();
    return requireStored(context.store.setData(std::move(bytes).value(), key_), context);
  }

 private:
  std::string key_;
  WriteSource source_;
};

class DeleteKeyCommand final : public Command {
 public:
  explicit DeleteKeyCommand(std::string key) : key_(std::move(key)) {}

  Result<void> run(const Context& context) const override {
    if (const auto present = storedUnder(context, key_); !present) return present.failure();
    return requireStored(context.store.removeObject(key_), context);
  }

 private:
  std::string key_;
};

/// A type flag and its text, as typed.
struct TypedValue {
  std::string flag;
  std::string text;
};

Result<WriteSource> parseWriteSource(const TypedValue& typed) {
  if (typed.flag == "-bool") {
    if (const auto flag = parseBoolWord(typed.text)) return WriteSource{PreferenceValue{*flag}};
    return usageError("invalid boolean " + quotedArgument(typed.text) + " (true, false, yes, no, 1 or 0)");
  }
  if (typed.flag == "-int") {
    if (const auto number = parseInteger(typed.text)) return WriteSource{PreferenceValue{*number}};
    return usageError("invalid integer " + quotedArgument(typed.text));
  }
  if (typed.flag == "-string") {
    if (!isValidUtf8(typed.text)) return usageError("text " + quotedArgument(typed.text) + " is not valid UTF-8");
    return WriteSource{PreferenceValue{typed.text}};
  }
  return WriteSource{std::filesystem::path(typed.text)};
}

Result<void> requireKey(const std::string& key) {
  if (key.empty() || !isValidUtf8(key)) return usageError("invalid key " + quotedArgument(key));
  return {};
}

}  // namespace

ParsedCommand parseDefaults(ArgumentReader& reader) {
  std::optional<TypedValue> typed;
  const auto read = reader.readCommandArguments("defaults", [&](const std::string& option) -> Result<bool> {
    if (option != "-bool" && option != "-int" && option != "-string" && option != "-data-file") return false;
    if (typed)
      return usageError("defaults write takes one value, got " + quotedArgument(typed->flag) + " and " +
                        quotedArgument(option));
    auto value = reader.optionValue(option);
    if (!value) return value.failure();
    typed = TypedValue{option, std::move(value).value()};
    return true;
  });
  if (!read) return read.failure();
  const auto& positionals = read.value();
  if (auto counted = requireCount("defaults", positionals, 1, SIZE_MAX, "read, write or delete"); !counted)
    return counted.failure();
  const auto& verb = positionals[0];
  if (verb != "write" && typed)
    return usageError("option " + quotedArgument(typed->flag) + " is only for defaults write");

  if (verb == "read") {
    if (auto counted = requireCount("defaults read", positionals, 1, 2, ""); !counted) return counted.failure();
    if (positionals.size() == 1) return parsed<ReadAllCommand>();
    if (auto key = requireKey(positionals[1]); !key) return key.failure();
    return parsed<ReadCommand>(positionals[1]);
  }
  if (verb == "write") {
    if (auto counted = requireCount("defaults write", positionals, 2, 2,
                                    "a KEY and -bool, -int, -string or -data-file with a value");
        !counted)
      return counted.failure();
    if (auto key = requireKey(positionals[1]); !key) return key.failure();
    if (!typed) return usageError("defaults write needs -bool, -int, -string or -data-file with a value");
    auto source = parseWriteSource(*typed);
    if (!source) return source.failure();
    return parsed<WriteCommand>(positionals[1], std::move(source).value());
  }
  if (verb == "delete") {
    if (auto counted = requireCount("defaults delete", positionals, 2, 2, "a KEY"); !counted) return counted.failure();
    if (auto key = requireKey(positionals[1]); !key) return key.failure();
    return parsed<DeleteKeyCommand>(positionals[1]);
  }
  return usageError("unknown defaults action " + quotedArgument(verb) + " (read, write or delete)");
}

}  // namespace kavrano::cli
