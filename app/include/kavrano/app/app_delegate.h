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

  /// Starts the services. The store always opens (read-only, fresh, or in memory), so
  /// nothing here can refuse.
  void didFinishLaunching(const AppOptions& options);
  [[nodiscard]] const std::filesystem::path& dataDirectory() const { return dataDirectory_; }
  /// What the user must hear once: nothing of this run will be kept. Empty normally.
  [[nodiscard]] const QString& storeNotice() const { return storeNotice_; }

 private:
  std::filesystem::path dataDirectory_;
  std::shared_ptr<LocalEventStore> events_;
  QString storeNotice_;
};

}  // namespace kavrano

namespace kavrano {

/// The whole run: options, start-up, the window, the event loop. The exit status.
int runApp(int& argc, char** argv);

}  // namespace kavrano
