#include "kavrano/core/data_directory.h"

#include <cstdlib>

namespace kavrano {

std::filesystem::path defaultDataDirectory() {
  if (const char* dir = std::getenv("KAVRANO_DATA_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::filesystem::path(xdg) / "kavrano";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local" / "share" / "kavrano";
}

}  // namespace kavrano
