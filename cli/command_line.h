#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "commands.h"

namespace kavrano::cli {

/// A command line read, nothing run yet.
struct Invocation {
  GlobalOptions globals;
  std::unique_ptr<Command> command;  // none when help was asked for
};

/// Reads `arguments` (without the program name); no side effects.
[[nodiscard]] Result<Invocation> parseInvocation(const std::vector<std::string>& arguments);

/// Runs one invocation (arguments without the program name) and returns the exit
/// status: 0 done, 2 usage error, 1 any other failure.
[[nodiscard]] int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

[[nodiscard]] std::string usageText();

}  // namespace kavrano::cli
