#include <iostream>
#include <string_view>

#include "command_line.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // Alone on the line, before any command is read: it touches no data directory.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "kavrano-cli " KAVRANO_VERSION "\n";
    return 0;
  }
  return kavrano::cli::runCommandLine({argv + 1, argv + argc}, std::cout, std::cerr);
}
