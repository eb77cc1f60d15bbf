#include "track/ImageItem.h"

#include <QPainter>
#include <cmath>
#include <utility>

ImageItem::ImageItem(QImage picture, QGraphicsScene* canvas)
    : RectangleItem(canvas), image(std::move(picture)) {
    setSize(image.width(), image.height());
}

void ImageItem::drawShape(QPainter& painter) {
    DrawAtWholePixel(painter, *this, image);
}

void DrawAtWholePixel(QPainter& painter, const QGraphicsItem& item, const QImage& image) {
    // The painter works in item coordinates; shift by the fraction that truncation drops.
    const QPointF position = item.pos();
    const QPointF wholePixel(std::trunc(position.x()) - position.x(),
                             std::trunc(position.y()) - position.y());
    painter.drawImage(wholePixel, image, image.rect(), Qt::OrderedAlphaDither);
}
