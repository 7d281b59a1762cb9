// Compiles the exported places (tab-separated: name, ISO country code, region,
// population, latitude, longitude) into the gazetteer index the app ships.
// Usage: kavrano_gazetteer_compile IN.tsv OUT.bin
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <charconv>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kavrano/qt_places/gazetteer_index_writer.h"

namespace {

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

// English country names from ICU's display names; the code itself where ICU has
// none (it answers with the code).
std::string countryName(const std::string& code) {
  static std::map<std::string, std::string> cache;
  auto [it, inserted] = cache.try_emplace(code);
  if (inserted) {
    icu::UnicodeString display;
    icu::Locale("", code.c_str()).getDisplayCountry(icu::Locale::getEnglish(), display);
    display.toUTF8String(it->second);
  }
  return it->second;
}

template <typename T>
bool parse(const std::string& text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: kavrano_gazetteer_compile IN.tsv OUT.bin\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "kavrano_gazetteer_compile: cannot read " << argv[1] << "\n";
    return 1;
  }
  kavrano::GazetteerIndexWriter writer;
  std::size_t lineNumber = 0, added = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    const auto f = split(line);
    kavrano::Coordinate c;
    std::uint32_t population = 0;
    if (f.size() != 6 || f[0].empty() || f[1].size() != 2 || !parse(f[3], population) || !parse(f[4], c.latitude) ||
        !parse(f[5], c.longitude) || c.latitude < -90 || c.latitude > 90 || c.longitude < -180 || c.longitude > 180) {
      std::cerr << "kavrano_gazetteer_compile: " << argv[1] << ":" << lineNumber << ": malformed line\n";
      return 1;
    }
    const std::string country = countryName(f[1]);
    const std::string subtitle = f[2].empty() || f[2] == country ? country : f[2] + ", " + country;
    writer.add(f[0], subtitle, c, population);
    ++added;
  }
  const std::string index = writer.build();
  if (index.empty()) {
    std::cerr << "kavrano_gazetteer_compile: index too large\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(index.data(), static_cast<std::streamsize>(index.size()));
  if (!out.flush()) {
    std::cerr << "kavrano_gazetteer_compile: cannot write " << argv[2] << "\n";
    return 1;
  }
  std::cout << "gazetteer: " << added << " places, " << index.size() << " bytes\n";
  return 0;
}
