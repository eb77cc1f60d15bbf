#pragma once

#include <QGraphicsScene>

#include "platform/GameFacts.h"

// The one canvas the three screens draw on: a fixed scene the size of the track grid, on the
// grass-green background. advance() (QGraphicsScene's own) moves every animated sprite by its
// velocity.
class Canvas : public QGraphicsScene {
  public:
    static constexpr int WIDTH = CANVAS_WIDTH;
    static constexpr int HEIGHT = CANVAS_HEIGHT;
    static const QColor BACKGROUND;

    explicit Canvas(QObject* parent = nullptr);
};
