#include "kavrano/core/persisted_measurement.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

namespace kavrano {
namespace {

// ---- encoding -------------------------------------------------------------------

// Shortest text that reads back as the same double; false for NaN and infinities,
// which JSON cannot carry.
bool appendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) return false;
  // "-0" would read back as the integer 0; keep the sign with a fraction.
  if (value == 0 && std::signbit(value)) return out.append("-0.0"), true;
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
  return ec == std::errc{};
}

// Length of the valid UTF-8 sequence at `s`, 0 if it is not one.
std::size_t utf8SequenceLength(const unsigned char* s, std::size_t left) {
  const unsigned char c = s[0];
  std::size_t n;
  std::uint32_t cp;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) n = 2, cp = c & 0x1F;
  else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0F;
  else if ((c & 0xF8) == 0xF0) n = 4, cp = c & 0x07;
  else return 0;
  if (n > left) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

bool appendString(std::string& out, std::string_view text) {
  out += '"';
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
      ++i;
    } else {
      const std::size_t n = utf8SequenceLength(s + i, text.size() - i);
      if (n == 0) return false;
      out.append(text.data() + i, n);
      i += n;
    }
  }
  out += '"';
  return true;
}

bool appendPoint(std::string& out, double latitude, double longitude) {
  out += "{\"latitude\":";
  if (!appendNumber(out, latitude)) return false;
  out += ",\"longitude\":";
  if (!appendNumber(out, longitude)) return false;
  out += '}';
  return true;
}

bool appendRecord(std::string& out, const PersistedMeasurement& m) {
  out += "{\"id\":";
  if (!appendString(out, m.id)) return false;
  out += ",\"date\":";
  if (!appendNumber(out, m.date)) return false;
  out += ",\"annotations\":[";
  for (std::size_t i = 0; i < m.annotations.size(); ++i) {
    if (i) out += ',';
    if (!appendPoint(out, m.annotations[i].latitude, m.annotations[i].longitude)) return false;
  }
  out += "],\"title\":";
  if (!appendString(out, m.title)) return false;
  out += ",\"center\":";
  if (!appendPoint(out, m.center.latitude, m.center.longitude)) return false;
  out += '}';
  return true;
}

// ---- decoding -------------------------------------------------------------------

enum class Where { Start, List, Record, Annotations, Vertex, Center, Done };
enum class Field { None, Id, Date, Annotations, Title, Center, Latitude, Longitude, Unknown };
enum class Kind { Number, String, Other };
constexpr unsigned bit(Field f) { return 1u << static_cast<unsigned>(f); }
constexpr unsigned kAllRecordFields =
    bit(Field::Id) | bit(Field::Date) | bit(Field::Annotations) | bit(Field::Title) | bit(Field::Center);
constexpr unsigned kBothCoordinates = bit(Field::Latitude) | bit(Field::Longitude);

// Streams the text into records without building a document; any departure from
// the record layout stops the parse, so the list is all or nothing.
class RecordListReader final : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::vector<PersistedMeasurement> records;
  [[nodiscard]] bool finished() const { return where_ == Where::Done; }

  bool null() override { return scalar(Kind::Other); }
  bool boolean(bool) override { return scalar(Kind::Other); }
  bool number_integer(number_integer_t v) override { return number(static_cast<double>(v)); }
  bool number_unsigned(number_unsigned_t v) override { return number(static_cast<double>(v)); }
  bool number_float(number_float_t v, const string_t&) override { return number(v); }
  bool string(string_t& v) override {
    text_ = &v;
    return scalar(Kind::String);
  }
  bool binary(binary_t&) override { return false; }

  bool start_object(std::size_t) override {
    if (skipDepth_) return ++skipDepth_, true;
    switch (where_) {
      case Where::List:
        where_ = Where::Record;
        record_ = PersistedMeasurement{};
        recordSeen_ = 0;
        return true;
      case Where::Record:
        if (field_ == Field::Center) return enterPoint(Where::Center);
        return skipUnknown();
      case Where::Annotations:
        return enterPoint(Where::Vertex);
      case Where::Vertex:
      case Where::Center:
        return skipUnknown();
      default:
        return false;
    }
  }

  bool end_object() override {
    if (skipDepth_) return leaveSkipped();
    switch (where_) {
      case Where::Record:
        if (recordSeen_ != kAllRecordFields) return false;
        records.push_back(std::move(record_));
        where_ = Where::List;
        return true;
      case Where::Vertex:
        if (pointSeen_ != kBothCoordinates) return false;
        record_.annotations.push_back({latitude_, longitude_});
        where_ = Where::Annotations;
        return true;
      case Where::Center:
        if (pointSeen_ != kBothCoordinates) return false;
        record_.center = {latitude_, longitude_};
        recordSeen_ |= bit(Field::Center);
        where_ = Where::Record;
        field_ = Field::None;
        return true;
      default:
        return false;
    }
  }

  bool start_array(std::size_t) override {
    if (skipDepth_) return ++skipDepth_, true;
    switch (where_) {
      case Where::Start:
        where_ = Where::List;
        return true;
      case Where::Record:
        if (field_ == Field::Annotations) {
          record_.annotations.clear();
          where_ = Where::Annotations;
          return true;
        }
        return skipUnknown();
      case Where::Vertex:
      case Where::Center:
        return skipUnknown();
      default:
        return false;
    }
  }

  bool end_array() override {
    if (skipDepth_) return leaveSkipped();
    if (where_ == Where::List) return where_ = Where::Done, true;
    if (where_ == Where::Annotations) {
      recordSeen_ |= bit(Field::Annotations);
      where_ = Where::Record;
      field_ = Field::None;
      return true;
    }
    return false;
  }

  bool key(string_t& k) override {
    if (skipDepth_) return true;
    if (where_ == Where::Record) {
      field_ = k == "id"            ? Field::Id
               : k == "date"        ? Field::Date
               : k == "annotations" ? Field::Annotations
               : k == "title"       ? Field::Title
               : k == "center"      ? Field::Center
                                    : Field::Unknown;
    } else {
      field_ = k == "latitude" ? Field::Latitude : k == "longitude" ? Field::Longitude : Field::Unknown;
    }
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  bool number(double v) {
    // An overflowing literal (1e999) reads as infinity; no record can hold it.
    if (!std::isfinite(v)) return false;
    number_ = v;
    return scalar(Kind::Number);
  }

  bool scalar(Kind kind) {
    if (skipDepth_) return true;
    const Field f = field_;
    field_ = Field::None;
    if (f == Field::Unknown) return true;
    if (where_ == Where::Record) {
      switch (f) {
        case Field::Id:
        case Field::Title:
          if (kind != Kind::String) return false;
          (f == Field::Id ? record_.id : record_.title) = std::move(*text_);
          break;
        case Field::Date:
          if (kind != Kind::Number) return false;
          record_.date = number_;
          break;
        default:
          return false;
      }
      recordSeen_ |= bit(f);
      return true;
    }
    if (where_ == Where::Vertex || where_ == Where::Center) {
      if (kind != Kind::Number || (f != Field::Latitude && f != Field::Longitude)) return false;
      (f == Field::Latitude ? latitude_ : longitude_) = number_;
      pointSeen_ |= bit(f);
      return true;
    }
    return false;
  }

  bool enterPoint(Where where) {
    where_ = where;
    pointSeen_ = 0;
    field_ = Field::None;
    return true;
  }
  bool skipUnknown() {
    if (field_ != Field::Unknown) return false;
    skipDepth_ = 1;
    return true;
  }
  bool leaveSkipped() {
    if (--skipDepth_ == 0) field_ = Field::None;
    return true;
  }

  Where where_ = Where::Start;
  Field field_ = Field::None;
  int skipDepth_ = 0;
  PersistedMeasurement record_;
  unsigned recordSeen_ = 0;
  unsigned pointSeen_ = 0;
  double latitude_ = 0, longitude_ = 0, number_ = 0;
  string_t* text_ = nullptr;
};

}  // namespace

std::optional<std::string> encodeMeasurements(const std::vector<PersistedMeasurement>& list) {
  std::string out;
  out.reserve(64 + list.size() * 256);
  out += '[';
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i) out += ',';
    if (!appendRecord(out, list[i])) return std::nullopt;
  }
  out += ']';
  return out;
}

std::optional<std::vector<PersistedMeasurement>> decodeMeasurements(std::string_view json) {
  RecordListReader reader;
  const bool ok = nlohmann::json::sax_parse(json.begin(), json.end(), &reader, nlohmann::json::input_format_t::json,
                                            /*strict=*/true, /*ignore_comments=*/false);
  if (!ok || !reader.finished()) return std::nullopt;
  return std::move(reader.records);
}

}  // namespace kavrano
