// nlohmann-json as the reference reader of the saved list, for the tests and the
// fuzzer that hold the product's own reader against it.
#pragma once

#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "kavrano/core/persisted_measurement.h"

namespace kavrano {

using Json = nlohmann::json;

// A list as plain JSON: equal lists compare equal with -0 as 0, and dump to the same
// text only when every number is the same to the bit.
inline nlohmann::json toJson(const std::vector<PersistedMeasurement>& list) {
  const auto point = [](double lat, double lon) { return Json{{"latitude", lat}, {"longitude", lon}}; };
  Json out = Json::array();
  for (const auto& m : list) {
    out.push_back({{"id", m.id}, {"date", m.date}, {"title", m.title}, {"annotations", Json::array()}});
    out.back()["center"] = point(m.center.latitude, m.center.longitude);
    for (const auto& a : m.annotations) out.back()["annotations"].push_back(point(a.latitude, a.longitude));
  }
  return out;
}

// The reference reading, as toJson shows a list: none when a record lacks one of the five
// members, has one of the wrong kind, or a number that is not finite.
inline std::optional<nlohmann::json> referenceDecode(std::string_view text) {
  const Json doc = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_array()) return std::nullopt;
  const auto finite = [](const Json& j, const char* key) {
    return j.is_object() && j.contains(key) && j[key].is_number() && std::isfinite(j[key].get<double>());
  };
  const auto point = [&](const Json& j) -> std::optional<Json> {
    if (!finite(j, "latitude") || !finite(j, "longitude")) return std::nullopt;
    return Json{{"latitude", j["latitude"].get<double>()}, {"longitude", j["longitude"].get<double>()}};
  };
  Json list = Json::array();
  for (const Json& r : doc) {
    if (!finite(r, "date") || !r.contains("id") || !r["id"].is_string() || !r.contains("title") ||
        !r["title"].is_string() || !r.contains("annotations") || !r["annotations"].is_array() ||
        !r.contains("center") || !point(r["center"]))
      return std::nullopt;
    list.push_back({{"id", r["id"]}, {"date", r["date"].get<double>()}, {"title", r["title"]}});
    list.back()["center"] = *point(r["center"]);
    list.back()["annotations"] = Json::array();
    for (const Json& a : r["annotations"]) {
      if (!point(a)) return std::nullopt;
      list.back()["annotations"].push_back(*point(a));
    }
  }
  return list;
}

// The reference keeps only the last of repeated members; the reader checks each
// as it comes. Such texts are left out of the comparison.
inline bool hasRepeatedMember(std::string_view text) {
  std::vector<std::set<std::string>> open;
  bool repeated = false;
  const Json::parser_callback_t noteKeys = [&](int, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start) open.emplace_back();
    if (event == Json::parse_event_t::object_end) open.pop_back();
    if (event == Json::parse_event_t::key && !open.back().insert(parsed.get<std::string>()).second) repeated = true;
    return true;
  };
  std::ignore = Json::parse(text, noteKeys, false);
  return repeated;
}

}  // namespace kavrano
