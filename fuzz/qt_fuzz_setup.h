#pragma once

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kavrano::fuzz {

/// Qt's image plugins are found through the application object: make one for the run.
inline int startQt(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  return 0;
}

/// The input as a file of this process's own, for readers that take a path; removed
/// when it goes out of scope, so declare it before the reader that opens it.
class ScratchFile {
 public:
  ScratchFile(const char* extension, const std::uint8_t* data, std::size_t size)
      : path_(QStringLiteral("/tmp/kavrano-fuzz-%1.%2").arg(::getpid()).arg(QLatin1String(extension))) {
    const QByteArray local = path_.toLocal8Bit();
    if (FILE* file = std::fopen(local.constData(), "wb")) {
      written_ = size == 0 || std::fwrite(data, 1, size, file) == size;
      written_ = std::fclose(file) == 0 && written_;
    }
  }
  ~ScratchFile() { std::remove(path_.toLocal8Bit().constData()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  [[nodiscard]] bool written() const { return written_; }
  [[nodiscard]] const QString& path() const { return path_; }

 private:
  QString path_;
  bool written_ = false;
};

}  // namespace kavrano::fuzz
