#include "kavrano/core/analytics.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "kavrano/core/local_event_store.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/user_settings.h"

namespace kavrano {
namespace {

struct Recorder final : AnalyticsService {
  void logEvent(const std::string& name) override { names.push_back(name); }
  std::vector<std::string> names;
};

TEST(MeasureAnalytics, SendsWhileTheUserAllowsItReadAtEachEvent) {
  PreferenceStore::installStandard(std::make_shared<MemoryPreferenceStore>());
  auto recorder = std::make_shared<Recorder>();
  AnalyticsService::configure(recorder);

  MeasureAnalytics::logEvent("added_pin");  // registered default: allowed
  UserSettings::shared().setSendUsageData(false);
  MeasureAnalytics::logEvent("cleared_pins");
  UserSettings::shared().setSendUsageData(true);
  MeasureAnalytics::logEvent("selected_address");
  MeasureAnalytics::logEvent("selected_address");  // no de-duplication

  EXPECT_EQ(recorder->names, (std::vector<std::string>{"added_pin", "selected_address", "selected_address"}));
  AnalyticsService::configure(nullptr);
  MeasureAnalytics::logEvent("added_pin");  // no service: dropped, no crash
}

TEST(LocalEventStore, KeepsEveryEventInOrderAndSkipsTornAndForeignLines) {
  const auto dir = std::filesystem::temp_directory_path() / ("kavrano-events-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  {
    LocalEventStore store(dir);
    for (int i = 0; i < 500; ++i) store.logEvent(i % 2 ? "added_pin" : "cleared_pins");
    store.logEvent("odd\tname\n");
    store.flush();
    EXPECT_EQ(LocalEventStore::read(dir).size(), 501u) << "flush returns once all is on disk";
    store.logEvent("persisted_measurement");
  }  // the destructor writes what is still queued
  auto events = LocalEventStore::read(dir);
  ASSERT_EQ(events.size(), 502u);
  EXPECT_EQ((std::vector{events[0].name, events[1].name, events[500].name, events[501].name}),
            (std::vector<std::string>{"cleared_pins", "added_pin", "odd name ", "persisted_measurement"}));
  EXPECT_EQ(events[0].time.size(), std::string("2026-12-06T01:02:03.456Z").size());
  EXPECT_EQ(events[0].time.back(), 'Z');

  std::ofstream(dir / LocalEventStore::kFileName) << "2026-01-01T00:00:00.000Z\tadded_pin\n"
                                                  << "no tab here\n\tno time\n2026-01-01T00:00:01.000Z\t\n"
                                                  << "2026-01-01T00:00:02.000Z\tcleared_pi";
  events = LocalEventStore::read(dir);
  ASSERT_EQ(events.size(), 2u);
  // A last line cut short still has a name.
  EXPECT_EQ((std::vector{events[0].name, events[1].name}), (std::vector<std::string>{"added_pin", "cleared_pi"}));
  EXPECT_TRUE(LocalEventStore::read(dir / "missing").empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kavrano
