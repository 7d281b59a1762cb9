#pragma once

#include <fstream>
#include <string>

namespace kavrano {

/// The machine's load average over 1, 5 and 15 minutes, as /proc/loadavg gives it:
/// every figure is printed with the load it was taken at.
inline std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

}  // namespace kavrano
