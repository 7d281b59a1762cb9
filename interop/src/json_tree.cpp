#include "json_tree.h"

#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>

namespace kavrano::interop {
namespace {

// nlohmann-json's SAX events carry no position; this iterator tells the builder how
// far the lexer has read, which is the end of the token just reported.
class TrackedIterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackedIterator() = default;
  TrackedIterator(const char* at, const char** cursor) : at_(at), cursor_(cursor) {}
  reference operator*() const { return *at_; }
  TrackedIterator& operator++() {
    ++at_;
    if (cursor_) *cursor_ = at_;
    return *this;
  }
  TrackedIterator operator++(int) {
    TrackedIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const TrackedIterator& other) const { return at_ == other.at_; }

 private:
  const char* at_ = nullptr;
  const char** cursor_ = nullptr;
};

class TreeBuilder {
 public:
  using json = nlohmann::json;

  TreeBuilder(std::string_view text, const char** cursor) : text_(text), cursor_(cursor), lines_(text) {}

  bool null() { return value(JsonNode{}); }
  bool boolean(bool value) {
    JsonNode node;
    node.kind = JsonNode::Kind::boolean;
    node.boolean = value;
    return this->value(std::move(node));
  }
  bool number_integer(json::number_integer_t value) { return number(static_cast<double>(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return number(static_cast<double>(value)); }
  bool number_float(json::number_float_t value, const json::string_t&) { return number(value); }
  bool string(json::string_t& value) {
    JsonNode node;
    node.kind = JsonNode::Kind::string;
    node.text = std::move(value);
    return this->value(std::move(node));
  }
  bool binary(json::binary_t&) { return false; }  // not produced by the JSON lexer
  bool start_object(std::size_t) { return open(JsonNode::Kind::object); }
  bool key(json::string_t& name) {
    pendingKeys_.back() = std::move(name);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(JsonNode::Kind::array); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error …" → "syntax error …"
    std::string_view what = error.what();
    if (const auto bracket = what.find("] "); bracket != std::string_view::npos) what.remove_prefix(bracket + 2);
    if (what.starts_with("parse error at line")) {
      if (const auto colon = what.find(": "); colon != std::string_view::npos) what.remove_prefix(colon + 2);
    }
    // The lexer's last token can be a whole file's worth of string.
    constexpr std::size_t kMessageBytes = 160;
    std::string message(what.substr(0, kMessageBytes));
    while (!message.empty() && (static_cast<unsigned char>(message.back()) & 0xC0) == 0x80) message.pop_back();
    if (!message.empty() && static_cast<unsigned char>(message.back()) >= 0xC0) message.pop_back();
    failure_ = ImportFailure{lines_.lineAt(position > 0 ? position - 1 : 0), "the JSON is malformed: " + message};
    return false;
  }

  [[nodiscard]] JsonNode take() {
    if (failure_) throw *failure_;
    return std::move(root_);
  }

 private:
  [[nodiscard]] std::size_t line() {
    const auto offset = static_cast<std::size_t>(*cursor_ - text_.data());
    return lines_.lineAt(offset > 0 ? offset - 1 : 0);
  }

  bool count() {
    if (++values_ <= kMaxJsonValues) return true;
    failure_ = ImportFailure{line(), "the file holds more than " + std::to_string(kMaxJsonValues) + " JSON values"};
    return false;
  }

  bool number(double value) {
    JsonNode node;
    node.kind = JsonNode::Kind::number;
    node.number = value;
    return this->value(std::move(node));
  }

  bool value(JsonNode node) {
    if (!count()) return false;
    node.line = line();
    place(std::move(node));
    return true;
  }

  bool open(JsonNode::Kind kind) {
    if (!count()) return false;
    if (open_.size() >= kMaxNestingDepth) {
      failure_ = ImportFailure{
          line(), "arrays and objects are nested deeper than " + std::to_string(kMaxNestingDepth) + " levels"};
      return false;
    }
    JsonNode node;
    node.kind = kind;
    node.line = line();
    open_.push_back(std::move(node));
    pendingKeys_.emplace_back();
    return true;
  }

  bool close() {
    JsonNode node = std::move(open_.back());
    open_.pop_back();
    pendingKeys_.pop_back();
    place(std::move(node));
    return true;
  }

  void place(JsonNode node) {
    if (open_.empty()) {
      root_ = std::move(node);
      return;
    }
    if (open_.back().kind == JsonNode::Kind::object) node.key = std::move(pendingKeys_.back());
    open_.back().children.push_back(std::move(node));
  }

  std::string_view text_;
  const char** cursor_;
  LineCounter lines_;
  std::vector<JsonNode> open_;
  std::vector<std::string> pendingKeys_;
  JsonNode root_;
  std::size_t values_ = 0;
  std::optional<ImportFailure> failure_;
};

}  // namespace

const JsonNode* JsonNode::member(std::string_view name) const {
  const JsonNode* found = nullptr;
  for (const auto& child : children) {
    if (child.key == name) found = &child;
  }
  return found;
}

JsonNode parseJsonTree(std::string_view text) {
  const char* cursor = text.data();
  TreeBuilder builder(text, &cursor);
  const TrackedIterator first(text.data(), &cursor), last(text.data() + text.size(), nullptr);
  nlohmann::json::sax_parse(first, last, &builder);
  return builder.take();
}

}  // namespace kavrano::interop
