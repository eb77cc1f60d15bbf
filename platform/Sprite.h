#pragma once

#include <QGraphicsPixmapItem>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPoint>

// The frames of a sprite and the hot spot of each: the point of the frame that lies at the
// sprite's position.
struct SpriteFrames {
    QList<QPixmap> pixmaps;
    QList<QPoint> hotSpots;
};

// A moving picture with several frames. The position is where the current frame's hot spot lies.
// An animated sprite moves by its velocity on every advance of the canvas; its collisions are exact
// to the drawn (non-transparent) pixels.
class Canvas;

class Sprite : public QGraphicsPixmapItem {
  public:
    // On the canvas when one is given.
    Sprite(SpriteFrames frames, Canvas* canvas);
    ~Sprite() override;
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    void setFrame(int index);
    int frame() const { return currentFrame; }
    int frameCount() const { return int(frames.pixmaps.size()); }
    int width() const;   // of the current frame
    int height() const;  // of the current frame

    void setVelocity(double vx, double vy);
    double xVelocity() const { return velocity.x(); }
    double yVelocity() const { return velocity.y(); }

    void setAnimated(bool on) { animatedFlag = on; }
    bool animated() const { return animatedFlag; }

    // The drawn area in whole pixels: left = int(x) - hot spot x, the frame's width and height.
    QRect boundingRectInt() const;

    // Shown sprites on the same canvas whose drawn pixels overlap the current frame's drawn
    // pixels, exact to the pixel cells of boundingRectInt(): pixels side by side do not collide.
    // Other items are never asked, which spares a test against every piece of track.
    QList<Sprite*> collidingSprites() const;

    void advance(int phase) override;

  private:
    bool drawnPixelsOverlap(const Sprite& other) const;
    bool drawnAt(const QPoint& canvasPixel) const;

    friend class Canvas;
    Canvas* canvas;
    SpriteFrames frames;
    // The opacity of every frame, one byte a pixel, for the collision test.
    QList<QImage> alphaMasks;
    int currentFrame = 0;
    QPointF velocity;
    bool animatedFlag = false;
};
