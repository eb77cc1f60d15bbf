#include "platform/Sprite.h"

#include "platform/Canvas.h"

Sprite::Sprite(SpriteFrames spriteFrames, Canvas* spriteCanvas)
    : canvas(spriteCanvas), frames(std::move(spriteFrames)) {
    setShapeMode(QGraphicsPixmapItem::MaskShape);
    for (const QPixmap& pixmap : frames.pixmaps) {
        alphaMasks.append(pixmap.toImage().convertToFormat(QImage::Format_Alpha8));
    }
    setVisible(false);
    setFrame(0);
    if (canvas != nullptr) {
        canvas->AddSprite(this);
    }
}

Sprite::~Sprite() {
    if (canvas != nullptr) {
        canvas->RemoveSprite(this);
    }
}

void Sprite::setFrame(int index) {
    // A new pixmap throws away the shape Qt built from the old one's mask, which every collision
    // test against a piece would then build again.
    if (index < 0 || index >= frameCount() || (index == currentFrame && !pixmap().isNull())) {
        return;
    }
    currentFrame = index;
    setPixmap(frames.pixmaps.at(index));
    const QPoint hotSpot = index < frames.hotSpots.size() ? frames.hotSpots.at(index) : QPoint();
    setOffset(-hotSpot);
}

int Sprite::width() const {
    return frameCount() == 0 ? 0 : frames.pixmaps.at(currentFrame).width();
}

int Sprite::height() const {
    return frameCount() == 0 ? 0 : frames.pixmaps.at(currentFrame).height();
}

void Sprite::setVelocity(double vx, double vy) {
    velocity = QPointF(vx, vy);
}

QRect Sprite::boundingRectInt() const {
    return QRect(int(x()) + int(offset().x()), int(y()) + int(offset().y()), width(), height());
}

QList<Sprite*> Sprite::collidingSprites() const {
    QList<Sprite*> hits;
    if (canvas == nullptr || !isVisible()) {
        return hits;
    }
    // Qt's shape test counts drawn pixels that only touch along an edge as a collision, so the
    // pixels themselves decide.
    for (Sprite* sprite : canvas->Sprites()) {
        if (sprite != this && sprite->isVisible() && drawnPixelsOverlap(*sprite)) {
            hits.append(sprite);
        }
    }
    return hits;
}

bool Sprite::drawnAt(const QPoint& canvasPixel) const {
    const QImage& mask = alphaMasks.at(currentFrame);
    const QPoint inFrame = canvasPixel - boundingRectInt().topLeft();
    return mask.valid(inFrame) && mask.constScanLine(inFrame.y())[inFrame.x()] != 0;
}

bool Sprite::drawnPixelsOverlap(const Sprite& other) const {
    if (frameCount() == 0 || other.frameCount() == 0) {
        return false;
    }
    const QRect common = boundingRectInt() & other.boundingRectInt();
    for (int y = common.top(); y <= common.bottom(); ++y) {
        for (int x = common.left(); x <= common.right(); ++x) {
            if (drawnAt(QPoint(x, y)) && other.drawnAt(QPoint(x, y))) {
                return true;
            }
        }
    }
    return false;
}

void Sprite::advance(int phase) {
    // Phase 0 lets every item look at the scene before anything moves; moving happens in phase 1.
    if (phase == 1 && animatedFlag && !velocity.isNull()) {
        setPos(pos() + velocity);
    }
}
