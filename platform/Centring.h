#pragma once

#include <QGraphicsItem>

// x that centres an item of this width on a canvas of this width, with truncating halves.
inline int CentredX(int canvasWidth, int itemWidth) {
    return canvasWidth / 2 - itemWidth / 2;
}

// The item's width in whole pixels, as the layout rules count it.
inline int PixelWidth(const QGraphicsItem& item) {
    return item.boundingRect().toAlignedRect().width();
}
inline int PixelHeight(const QGraphicsItem& item) {
    return item.boundingRect().toAlignedRect().height();
}
