#include "platform/Canvas.h"

const QColor Canvas::BACKGROUND(0, 128, 0);

Canvas::Canvas(QObject* parent) : QGraphicsScene(0, 0, WIDTH, HEIGHT, parent) {
    setBackgroundBrush(BACKGROUND);
    // Items move every tick; a BSP index would be rebuilt constantly for a handful of items.
    setItemIndexMethod(QGraphicsScene::NoIndex);
}
