#pragma once

// A screen as people see it, held against the reference picture committed for
// it: an unintended visual change fails. The references are remade on purpose,
// by running the test with KAVRANO_UPDATE_SCREENSHOTS=1 and committing them.
#include <QImage>
#include <QRect>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>

namespace kavrano::testing {

/// Pixels whose channels differ by more than this are counted as changed: the
/// software rasteriser's antialiasing may move a step or two.
constexpr int kChannelTolerance = 16;
/// Share of changed pixels still taken as the same screen: a text cursor's blink.
constexpr double kChangedShare = 0.002;

/// Empty when `shot` looks like the reference at `referencePath`, else why not.
/// `ignore` is a moving part (an animated picture), left out of the count.
inline QString compareWithReference(const QImage& shot, const QString& referencePath, const QRect& ignore = {}) {
  if (qEnvironmentVariableIsSet("KAVRANO_UPDATE_SCREENSHOTS")) {
    return shot.save(referencePath) ? QString() : QStringLiteral("cannot write ") + referencePath;
  }
  const QImage reference(referencePath);
  if (reference.isNull()) return QStringLiteral("no reference at ") + referencePath;
  const QImage a = shot.convertToFormat(QImage::Format_RGB32), b = reference.convertToFormat(QImage::Format_RGB32);
  if (a.size() != b.size()) return QStringLiteral("the size changed");
  qsizetype changed = 0;
  for (int y = 0; y < a.height(); ++y) {
    const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      if (ignore.contains(x, y)) continue;
      const int d = std::max({std::abs(qRed(pa[x]) - qRed(pb[x])), std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                              std::abs(qBlue(pa[x]) - qBlue(pb[x]))});
      if (d > kChannelTolerance) ++changed;
    }
  }
  const double share = static_cast<double>(changed) / (static_cast<double>(a.width()) * a.height());
  return share <= kChangedShare ? QString() : QStringLiteral("%1% of the pixels changed").arg(share * 100, 0, 'f', 2);
}

}  // namespace kavrano::testing
