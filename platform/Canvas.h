#pragma once

#include <QColor>
#include <QGraphicsScene>
#include <vector>

#include "platform/GameFacts.h"

class Sprite;

// The one canvas the three screens draw on: a fixed scene the size of the track grid, on the
// grass-green background. advance() (QGraphicsScene's own) moves every animated sprite by its
// velocity. It knows its sprites apart from its other items, so that a sprite's collisions are
// looked for among the few sprites rather than every piece of track.
class Canvas : public QGraphicsScene {
  public:
    static constexpr int WIDTH = CANVAS_WIDTH;
    static constexpr int HEIGHT = CANVAS_HEIGHT;
    static inline const QColor BACKGROUND{0, 128, 0};

    explicit Canvas(QObject* parent = nullptr);
    ~Canvas() override;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The sprites on the canvas, in the order they came.
    const std::vector<Sprite*>& Sprites() const { return sprites; }

  private:
    friend class Sprite;
    void AddSprite(Sprite* sprite);
    void RemoveSprite(Sprite* sprite);

    std::vector<Sprite*> sprites;
};
