#include "kavrano/qt_map/world_overview.h"

#include <QFile>
#include <cstring>

#include "kavrano/qt_world/world_overview_format.h"
#include "kavrano/qt_world/world_vectors_format.h"

namespace kavrano {

namespace fmt = world_overview_format;

WorldOverview openWorldOverview(const QString& path) {
  auto file = std::make_unique<QFile>(path);
  if (!file->open(QIODevice::ReadOnly) || file->size() < qint64{fmt::kHeaderSize}) return {};
  const uchar* bytes = file->map(0, file->size());
  if (!bytes || std::memcmp(bytes, fmt::kMagic, sizeof fmt::kMagic) != 0) return {};
  const auto* header = reinterpret_cast<const std::byte*>(bytes);
  const auto side = world_vectors_format::read<std::uint32_t>(header + 8);
  const auto creditBytes = world_vectors_format::read<std::uint32_t>(header + 12);
  if (world_vectors_format::read<std::uint32_t>(header + 4) != fmt::kVersion || side == 0 || side > fmt::kMaxSide ||
      creditBytes > fmt::kMaxCreditBytes ||
      file->size() != qint64{fmt::kHeaderSize} + qint64{side} * side * 4 + creditBytes)
    return {};
  const int n = static_cast<int>(side);
  const qsizetype stride = qsizetype{n} * 4;
  WorldOverview overview;
  overview.credit = QString::fromUtf8(reinterpret_cast<const char*>(bytes + file->size() - creditBytes),
                                      static_cast<qsizetype>(creditBytes));
  // The image reads the pages in place; its last copy closes the file.
  overview.image = QImage(
      bytes + fmt::kHeaderSize, n, n, stride, QImage::Format_RGB32,
      [](void* held) { delete static_cast<QFile*>(held); }, file.release());
  return overview;
}

}  // namespace kavrano
