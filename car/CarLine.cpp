#include "car/CarLine.h"

#include <QGraphicsScene>
#include <QPen>

namespace {
const QColor LINE_COLOR(0, 255, 255);
constexpr int LINE_WIDTH = 1;
constexpr double LINE_DEPTH = 10;
}  // namespace

CarLine::CarLine(QGraphicsScene* canvas) {
    setPen(QPen(LINE_COLOR, LINE_WIDTH, Qt::SolidLine));
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
