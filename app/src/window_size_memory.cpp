#include "kavrano/app/window_size_memory.h"

#include <QSettings>
#include <QWindow>

namespace kavrano {
namespace {

constexpr auto kKey = "window/size";
// Larger than any screen: a size beyond it comes from a damaged file.
constexpr int kLargest = 16384;
// A window manager sends a size per step of a drag; one write once it has ended.
constexpr int kSettleMilliseconds = 300;

}  // namespace

WindowSizeMemory::WindowSizeMemory(QString file) : file_(std::move(file)) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMilliseconds);
  connect(&settle_, &QTimer::timeout, this, &WindowSizeMemory::store);
}

WindowSizeMemory::~WindowSizeMemory() {
  if (settle_.isActive()) store();
}

std::optional<QSize> WindowSizeMemory::keptSize() const {
  const QSize kept = QSettings(file_, QSettings::IniFormat).value(kKey).toSize();
  if (kept.isEmpty() || kept.width() > kLargest || kept.height() > kLargest) return std::nullopt;
  return kept;
}

void WindowSizeMemory::follow(QWindow& window) {
  const auto changed = [this, &window] {
    pending_ = window.size();
    settle_.start();
  };
  connect(&window, &QWindow::widthChanged, this, changed);
  connect(&window, &QWindow::heightChanged, this, changed);
}

void WindowSizeMemory::store() {
  settle_.stop();
  QSettings settings(file_, QSettings::IniFormat);
  settings.setValue(kKey, pending_);
}

}  // namespace kavrano
