#include "platform/Sprite.h"

#include <QGraphicsScene>

Sprite::Sprite(SpriteFrames spriteFrames, QGraphicsScene* canvas) : frames(std::move(spriteFrames)) {
    setShapeMode(QGraphicsPixmapItem::MaskShape);
    setVisible(false);
    setFrame(0);
    if (canvas != nullptr) {
        canvas->addItem(this);
    }
}

void Sprite::setFrame(int index) {
    if (index < 0 || index >= frameCount()) {
        return;
    }
    currentFrame = index;
    setPixmap(frames.pixmaps.at(index));
    const QPoint hotSpot = index < frames.hotSpots.size() ? frames.hotSpots.at(index) : QPoint();
    setOffset(-hotSpot);
}

int Sprite::width() const { return pixmap().width(); }

int Sprite::height() const { return pixmap().height(); }

void Sprite::setVelocity(double vx, double vy) { velocity = QPointF(vx, vy); }

QRect Sprite::boundingRectInt() const {
    return QRect(int(x()) + int(offset().x()), int(y()) + int(offset().y()), width(), height());
}

QList<QGraphicsItem*> Sprite::collisions() const {
    return collidingItems(Qt::IntersectsItemShape);
}

void Sprite::advance(int phase) {
    // Phase 0 lets every item look at the scene before anything moves; moving happens in phase 1.
    if (phase == 1 && animatedFlag && !velocity.isNull()) {
        setPos(pos() + velocity);
    }
}
