#pragma once

#include <QImage>

#include "platform/RectangleItem.h"

// A canvas item that shows one picture, sized to it. Starts at (0, 0) and hidden; its owner moves
// and shows it.
class ImageItem : public RectangleItem {
  public:
    ImageItem(QImage image, QGraphicsScene* canvas);

    const QImage& Image() const { return image; }

  protected:
    void drawShape(QPainter& painter) override;

  private:
    QImage image;
};

// Draws a picture with its top-left corner on the whole pixel at or before the item's position, so
// that items at fractional positions never blur.
void DrawAtWholePixel(QPainter& painter, const QGraphicsItem& item, const QImage& image);
