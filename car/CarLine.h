#pragma once

#include <QGraphicsLineItem>
#include <QRect>

class QGraphicsScene;

// The cyan line that marks the player's car along its centre line while a bridge hides it.
// Starts hidden, above everything else on the race canvas.
class CarLine : public QGraphicsLineItem {
  public:
    explicit CarLine(QGraphicsScene* canvas);

    // The rectangle is a pair of points: (x1, y1) and (x2, y2) are the two ends, whichever is
    // further left.
    void SetPoints(const QRect& points);
};
