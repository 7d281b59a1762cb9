#pragma once

#include <filesystem>

namespace kavrano {

/// Where the user's data lives: $KAVRANO_DATA_DIR, else $XDG_DATA_HOME/kavrano,
/// else ~/.local/share/kavrano. Not created here.
[[nodiscard]] std::filesystem::path defaultDataDirectory();

}  // namespace kavrano
