// The saved list's reader: never crashes, reads back what it writes, and accepts
// and reads exactly what nlohmann-json (the reference) does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kavrano/core/persisted_measurement.h"
#include "measurement_json_reference.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& text) {
  std::fprintf(stderr, "saved_list: %s\ninput: %s\n", what, text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto list = kavrano::decodeMeasurements(text);

  // nlohmann-json takes a NUL byte for the end of the text; JSON has no place for one.
  if (text.find('\0') != std::string::npos) {
    if (list) fail("accepted a NUL byte", text);
    return 0;
  }
  // The differential check; texts with repeated members are read differently on purpose.
  const auto reference = kavrano::referenceDecode(text);
  if (list.has_value() != reference.has_value()) {
    if (!kavrano::hasRepeatedMember(text))
      fail(list ? "accepted what the reference refuses" : "refused what the reference reads", text);
    return 0;
  }
  if (!list) return 0;
  if (kavrano::toJson(*list) != *reference) fail("read other values than the reference", text);

  // Whatever was read is finite and valid UTF-8, so it writes, and reads back to the bit.
  const auto written = kavrano::encodeMeasurements(*list);
  if (!written) fail("cannot write what it read", text);
  const auto again = kavrano::decodeMeasurements(*written);
  if (!again || kavrano::toJson(*again).dump() != kavrano::toJson(*list).dump())
    fail("round trip changed the list", text);
  return 0;
}
