#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kavrano/core/analytics.h"

namespace kavrano {

/// One stored usage event.
struct StoredEvent {
  std::string time;  ///< ISO 8601 UTC with milliseconds
  std::string name;
};

/// The analytics service: keeps events on the device, appended as tab-separated
/// lines (time, name) to `events.tsv` in the data directory by a thread of its
/// own. The caller never waits on the disk; nothing is uploaded.
class LocalEventStore final : public AnalyticsService {
 public:
  static constexpr const char* kFileName = "events.tsv";

  explicit LocalEventStore(const std::filesystem::path& dataDirectory);
  /// Writes what is queued, then stops the thread.
  ~LocalEventStore() override;
  LocalEventStore(const LocalEventStore&) = delete;
  LocalEventStore& operator=(const LocalEventStore&) = delete;

  void logEvent(const std::string& name) override;
  /// Blocks until everything logged so far is on disk (tests, shutdown).
  void flush();

  /// The events stored in `dataDirectory`, oldest first; malformed lines are skipped.
  [[nodiscard]] static std::vector<StoredEvent> read(const std::filesystem::path& dataDirectory);

 private:
  void run();

  std::filesystem::path file_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable drained_;
  std::deque<StoredEvent> queue_;
  bool writing_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace kavrano
