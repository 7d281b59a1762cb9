// kavrano-cli's command line: arguments are the input, split at NUL bytes. Parsing
// never crashes and runs nothing; a usage error is one line with no raw control
// character, as the terminal shows it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "command_line.h"

namespace {

bool isPrintableLine(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7f) return false;
    if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back() += static_cast<char>(data[i]);
    }
  }
  const auto invocation = kavrano::cli::parseInvocation(arguments);
  if (invocation) return 0;
  const auto& failure = invocation.failure();
  if (failure.kind != kavrano::Failure::Kind::invalidRequest || !isPrintableLine(failure.reason)) {
    std::fprintf(stderr, "cli_arguments: a usage error that is not one printable line: %s\n", failure.reason.c_str());
    std::abort();
  }
  return 0;
}
