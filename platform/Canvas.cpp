#include "platform/Canvas.h"

#include <algorithm>

#include "platform/Sprite.h"

Canvas::Canvas(QObject* parent) : QGraphicsScene(0, 0, WIDTH, HEIGHT, parent) {
    setBackgroundBrush(BACKGROUND);
    // Items move every tick; a BSP index would be rebuilt constantly for a handful of items.
    setItemIndexMethod(QGraphicsScene::NoIndex);
}

// Items outlive their canvas only by mistake; those left are then deleted by the scene, and must
// not look for a canvas that is no longer there.
Canvas::~Canvas() {
    for (Sprite* sprite : sprites) {
        sprite->canvas = nullptr;
    }
}

void Canvas::AddSprite(Sprite* sprite) {
    sprites.push_back(sprite);
    addItem(sprite);
}

void Canvas::RemoveSprite(Sprite* sprite) {
    sprites.erase(std::remove(sprites.begin(), sprites.end(), sprite), sprites.end());
}
