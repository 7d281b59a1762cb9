#include <iostream>

#include "command_line.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return kavrano::cli::runCommandLine({argv + 1, argv + argc}, std::cout, std::cerr);
}
