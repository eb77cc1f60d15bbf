#include "car/CarLine.h"

#include <QGraphicsScene>
#include <QPen>

namespace {
constexpr int LINE_WIDTH = 1;
constexpr double LINE_DEPTH = 10;
}  // namespace

CarLine::CarLine(QGraphicsScene* canvas, const QColor& colour) {
    setPen(QPen(colour, LINE_WIDTH, Qt::SolidLine));
    setZValue(LINE_DEPTH);
    setVisible(false);
    if (canvas != nullptr) {
        canvas->addItem(this);
    }
}

void CarLine::SetPoints(const QRect& points) {
    // The rectangle is not normalised: its stored corners are the line's ends as given.
    setLine(points.left(), points.top(), points.right(), points.bottom());
}
