#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>
#include <optional>

class QWindow;

namespace kavrano {

/// The window's size from one start to the next, in a small settings file of the
/// data directory. Not in the preference store: that holds the product's own
/// keys, which kavrano-cli shows and shares; the size is this desktop window's.
class WindowSizeMemory final : public QObject {
  Q_OBJECT
 public:
  static constexpr const char* kFileName = "window.ini";

  explicit WindowSizeMemory(QString file);
  ~WindowSizeMemory() override;

  /// The size the last run kept; none when there is none or it cannot be read.
  [[nodiscard]] std::optional<QSize> keptSize() const;

  /// Keeps `window`'s size once the user has stopped resizing it, and on destruction.
  void follow(QWindow& window);

 private:
  void store();

  QString file_;
  QSize pending_;
  QTimer settle_;
};

}  // namespace kavrano
