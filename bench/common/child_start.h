#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <algorithm>
#include <vector>

namespace kavrano {

/// Milliseconds from starting `program` with `mode` to the first line it prints,
/// or −1 when that line is not its "frame" report (it failed or timed out).
inline double startToFrameMs(const QString& program, const QString& mode) {
  QProcess child;
  QElapsedTimer timer;
  timer.start();
  child.start(program, {mode});
  child.waitForReadyRead(60'000);
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  child.waitForFinished(60'000);
  return child.readAllStandardOutput().startsWith("frame") ? ms : -1;
}

/// The middle of the runs: one busy moment on a shared machine moves it little.
inline double median(std::vector<double> runs) {
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace kavrano
