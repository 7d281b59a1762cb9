#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QColor>
#include <QImage>
#include <QQuickPaintedItem>
#include <QSvgRenderer>
#include <QUrl>

namespace kavrano {

/// An SVG icon drawn in one colour. The measuring screen's buttons use it: it
/// reads the file with QtSvg directly, where an Image would first load every
/// image-format plugin, a cost paid before the app's first frame.
class TintedIcon : public QQuickPaintedItem {
  Q_OBJECT
  QML_ELEMENT
  Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
  Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
 public:
  explicit TintedIcon(QQuickItem* parent = nullptr);

  [[nodiscard]] QUrl source() const { return source_; }
  void setSource(const QUrl& source);
  [[nodiscard]] QColor color() const { return color_; }
  void setColor(const QColor& color);

  void paint(QPainter* painter) override;

 signals:
  void sourceChanged();
  void colorChanged();

 private:
  QUrl source_;
  QColor color_ = Qt::black;
  QSvgRenderer renderer_;
  QImage drawn_;  // the tinted picture at the current size, until something changes
};

}  // namespace kavrano
