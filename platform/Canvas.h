#pragma once

#include <QGraphicsScene>

// The one canvas the three screens draw on: a fixed 225x292 scene on the grass-green background.
// advance() (QGraphicsScene's own) moves every animated sprite by its velocity.
class Canvas : public QGraphicsScene {
  public:
    static constexpr int WIDTH = 225;
    static constexpr int HEIGHT = 292;
    static const QColor BACKGROUND;

    explicit Canvas(QObject* parent = nullptr);
};
