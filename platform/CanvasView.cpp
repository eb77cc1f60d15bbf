#include "platform/CanvasView.h"

CanvasView::CanvasView(QGraphicsScene* canvas, QWidget* parent, const QRect& geometry)
    : QGraphicsView(canvas, parent) {
    setGeometry(geometry);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameStyle(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
    setSceneRect(canvas->sceneRect());
}
