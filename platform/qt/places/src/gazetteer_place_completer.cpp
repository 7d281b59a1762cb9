#include "kavrano/qt_places/gazetteer_place_completer.h"

namespace kavrano {

GazetteerPlaceCompleter::GazetteerPlaceCompleter(GazetteerIndexSource index, int limit)
    : index_(std::move(index)), limit_(limit) {}

void GazetteerPlaceCompleter::setQueryFragment(const QString& fragment) {
  fragment_ = fragment;
  if (answerQueued_) return;
  answerQueued_ = true;
  QMetaObject::invokeMethod(this, &GazetteerPlaceCompleter::answer, Qt::QueuedConnection);
}

void GazetteerPlaceCompleter::answer() {
  answerQueued_ = false;
  results_.clear();
  if (const auto index = index_()) {
    for (const GazetteerPlace& p : index->suggestions(fragment_.toStdString(), static_cast<std::size_t>(limit_))) {
      results_.push_back({QString::fromUtf8(p.name.data(), static_cast<qsizetype>(p.name.size())),
                          QString::fromUtf8(p.subtitle.data(), static_cast<qsizetype>(p.subtitle.size()))});
    }
  }
  reportResults();
}

}  // namespace kavrano
