#pragma once

#include <QUrl>

namespace kavrano {

/// Outside addresses: web pages, mail links, store pages.
class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  [[nodiscard]] virtual bool canOpenUrl(const QUrl& url) const = 0;
  /// Hands `url` to the application that handles it; returns at once.
  virtual void openUrl(const QUrl& url) = 0;
};

}  // namespace kavrano
