#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kavrano::cli {

/// Runs one invocation (arguments without the program name) and returns the exit
/// status: 0 done, 2 usage error, 1 any other failure.
[[nodiscard]] int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

[[nodiscard]] std::string usageText();

}  // namespace kavrano::cli
