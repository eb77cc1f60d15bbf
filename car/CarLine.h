#pragma once

#include <QColor>
#include <QGraphicsLineItem>
#include <QRect>

class QGraphicsScene;

// The line that marks a player's car along its centre line while a bridge hides it: cyan for the
// blue car. Starts hidden, above everything else on the race canvas.
class CarLine : public QGraphicsLineItem {
  public:
    static inline const QColor CYAN{0, 255, 255};

    explicit CarLine(QGraphicsScene* canvas, const QColor& colour = CYAN);

    // The rectangle is a pair of points: (x1, y1) and (x2, y2) are the two ends, whichever is
    // further left.
    void SetPoints(const QRect& points);
};
