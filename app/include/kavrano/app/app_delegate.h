#pragma once

#include <QString>
#include <filesystem>
#include <memory>

#include "kavrano/app/app_options.h"

namespace kavrano {

class LocalEventStore;

/// The process's start: the preference store in the data directory, the
/// analytics service, the shared UnitConverter.
class AppDelegate {
 public:
  AppDelegate();
  ~AppDelegate();

  /// False, with `error` for the user, when the data directory is unusable.
  [[nodiscard]] bool didFinishLaunching(const AppOptions& options, QString& error);
  [[nodiscard]] const std::filesystem::path& dataDirectory() const { return dataDirectory_; }

 private:
  std::filesystem::path dataDirectory_;
  std::shared_ptr<LocalEventStore> events_;
};

}  // namespace kavrano

namespace kavrano {

/// The whole run: options, start-up, the window, the event loop. The exit status.
int runApp(int& argc, char** argv);

}  // namespace kavrano
