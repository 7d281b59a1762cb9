#pragma once

#include <QObject>
#include <memory>

#include "kavrano/places/place_completer.h"
#include "kavrano/qt_places/gazetteer_index.h"

namespace kavrano {

/// Suggestions from the offline gazetteer: place names starting with the
/// fragment (accents and case ignored), most populous first. Fragments set in a
/// burst are answered once, for the last.
class GazetteerPlaceCompleter : public QObject, public PlaceCompleter {
  Q_OBJECT
 public:
  /// `index` may give null: every answer is then empty.
  GazetteerPlaceCompleter(GazetteerIndexSource index, int limit);

  void setQueryFragment(const QString& fragment) override;
  [[nodiscard]] QString queryFragment() const override { return fragment_; }
  [[nodiscard]] QList<PlaceSuggestion> results() const override { return results_; }

 private:
  void answer();

  GazetteerIndexSource index_;
  int limit_;
  QString fragment_;
  QList<PlaceSuggestion> results_;
  bool answerQueued_ = false;
};

}  // namespace kavrano
