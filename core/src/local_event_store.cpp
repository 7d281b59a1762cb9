#include "kavrano/core/local_event_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace kavrano {
namespace {

std::string nowIso8601Millis() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(millis));
  return text;
}

// Names are fixed lower-case words; anything that would break the line format is
// replaced rather than stored.
std::string sanitised(std::string name) {
  for (char& c : name)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return name;
}

// Created 0600 whatever the umask: what the user did is nobody else's business.
// A failed write loses these events only; logging never fails its caller.
void appendPrivately(const std::filesystem::path& file, const std::string& text) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace

LocalEventStore::LocalEventStore(const std::filesystem::path& dataDirectory)
    : file_(dataDirectory / kFileName), thread_([this] { run(); }) {}

LocalEventStore::~LocalEventStore() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void LocalEventStore::logEvent(const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({nowIso8601Millis(), sanitised(name)});
  }
  wake_.notify_one();
}

void LocalEventStore::flush() {
  std::unique_lock lock(mutex_);
  drained_.wait(lock, [this] { return queue_.empty() && !writing_; });
}

void LocalEventStore::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty() && stopping_) break;
    std::deque<StoredEvent> batch;
    batch.swap(queue_);
    writing_ = true;
    lock.unlock();
    {
      std::error_code ignored;
      std::filesystem::create_directories(file_.parent_path(), ignored);
      std::string lines;
      for (const auto& event : batch) lines += event.time + '\t' + event.name + '\n';
      appendPrivately(file_, lines);
    }
    lock.lock();
    writing_ = false;
    drained_.notify_all();
  }
  drained_.notify_all();
}

std::vector<StoredEvent> LocalEventStore::read(const std::filesystem::path& dataDirectory) {
  std::vector<StoredEvent> events;
  std::ifstream in(dataDirectory / kFileName, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 == line.size()) continue;  // torn or foreign line
    events.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return events;
}

}  // namespace kavrano
