#include "platform/RectangleItem.h"

#include <QGraphicsScene>

RectangleItem::RectangleItem(QGraphicsScene* canvas) {
    setVisible(false);
    if (canvas != nullptr) {
        canvas->addItem(this);
    }
}

void RectangleItem::setSize(int width, int height) {
    prepareGeometryChange();
    size = QSize(width, height);
}

QRectF RectangleItem::boundingRect() const {
    return QRectF(QPointF(0, 0), size);
}

void RectangleItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    drawShape(*painter);
}
