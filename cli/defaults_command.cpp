#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <variant>

#include "commands.h"
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

PreferenceValue requireStored(const Context& context, const std::string& key) {
  auto value = context.store.storedValue(key);
  if (!value) throw CommandFailure("no value is stored under " + quotedArgument(key));
  return std::move(*value);
}

class ReadAllCommand final : public Command {
 public:
  void run(const Context& context) const override {
    for (const auto& [key, value] : context.store.storedEntries()) {
      context.out << escapedForLine(key) << " = " << describe(value) << '\n';
    }
  }
};

class ReadCommand final : public Command {
 public:
  explicit ReadCommand(std::string key) : key_(std::move(key)) {}
  void run(const Context& context) const override { writeBare(context.out, requireStored(context, key_)); }

 private:
  std::string key_;
};

/// The value to write, or the file its bytes are read from at run time.
using WriteSource = std::variant<PreferenceValue, std::filesystem::path>;

class WriteCommand final : public Command {
 public:
  WriteCommand(std::string key, WriteSource source) : key_(std::move(key)), source_(std::move(source)) {}

  void run(const Context& context) const override {
    if (const auto* value = std::get_if<PreferenceValue>(&source_)) {
      requireStored(context.store.setValue(*value, key_), context);
    } else {
      requireStored(context.store.setData(readFile(std::get<std::filesystem::path>(source_)), key_), context);
    }
  }

 private:
  static Bytes readFile(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
      throw CommandFailure("cannot read " + quotedArgument(file.string()) + ": it is a directory");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw CommandFailure("cannot read " + quotedArgument(file.string()));
    try {
      Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (!in.bad()) return bytes;
    } catch (const std::ios_base::failure&) {
      // The stream reports a failed read(2) by throwing; the message below says it better.
    }
    throw CommandFailure("cannot read " + quotedArgument(file.string()));
  }

  std::string key_;
  WriteSource source_;
};

class DeleteKeyCommand final : public Command {
 public:
  explicit DeleteKeyCommand(std::string key) : key_(std::move(key)) {}

  void run(const Context& context) const override {
    (void)requireStored(context, key_);
    requireStored(context.store.removeObject(key_), context);
  }

 private:
  std::string key_;
};

/// A type flag and its text, as typed.
struct TypedValue {
  std::string flag;
  std::string text;
};

WriteSource parseWriteSource(const TypedValue& typed) {
  if (typed.flag == "-bool") {
    if (const auto flag = parseBoolWord(typed.text)) return PreferenceValue{*flag};
    throw UsageError("invalid boolean " + quotedArgument(typed.text) + " (true, false, yes, no, 1 or 0)");
  }
  if (typed.flag == "-int") {
    if (const auto number = parseInteger(typed.text)) return PreferenceValue{*number};
    throw UsageError("invalid integer " + quotedArgument(typed.text));
  }
  if (typed.flag == "-string") {
    if (!isValidUtf8(typed.text)) throw UsageError("text " + quotedArgument(typed.text) + " is not valid UTF-8");
    return PreferenceValue{typed.text};
  }
  return std::filesystem::path(typed.text);
}

void requireKey(const std::string& key) {
  if (key.empty() || !isValidUtf8(key)) throw UsageError("invalid key " + quotedArgument(key));
}

}  // namespace

std::unique_ptr<Command> parseDefaults(ArgumentReader& reader) {
  std::optional<TypedValue> typed;
  const auto positionals = reader.readCommandArguments("defaults", [&](const std::string& option) {
    if (option != "-bool" && option != "-int" && option != "-string" && option != "-data-file") return false;
    if (typed)
      throw UsageError("defaults write takes one value, got " + quotedArgument(typed->flag) + " and " +
                       quotedArgument(option));
    typed = TypedValue{option, reader.optionValue(option)};
    return true;
  });
  requireCount("defaults", positionals, 1, SIZE_MAX, "read, write or delete");
  const auto& verb = positionals[0];
  if (verb != "write" && typed)
    throw UsageError("option " + quotedArgument(typed->flag) + " is only for defaults write");

  if (verb == "read") {
    requireCount("defaults read", positionals, 1, 2, "");
    if (positionals.size() == 1) return std::make_unique<ReadAllCommand>();
    requireKey(positionals[1]);
    return std::make_unique<ReadCommand>(positionals[1]);
  }
  if (verb == "write") {
    requireCount("defaults write", positionals, 2, 2, "a KEY and -bool, -int, -string or -data-file with a value");
    requireKey(positionals[1]);
    if (!typed) throw UsageError("defaults write needs -bool, -int, -string or -data-file with a value");
    return std::make_unique<WriteCommand>(positionals[1], parseWriteSource(*typed));
  }
  if (verb == "delete") {
    requireCount("defaults delete", positionals, 2, 2, "a KEY");
    requireKey(positionals[1]);
    return std::make_unique<DeleteKeyCommand>(positionals[1]);
  }
  throw UsageError("unknown defaults action " + quotedArgument(verb) + " (read, write or delete)");
}

}  // namespace kavrano::cli
