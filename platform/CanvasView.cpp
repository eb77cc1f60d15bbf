#include "platform/CanvasView.h"

#include "platform/ScaledStage.h"

CanvasView::CanvasView(QGraphicsScene* canvas, QWidget* parent, const QRect& geometry)
    : QGraphicsView(canvas, parent), gameGeometry(geometry) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameStyle(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
    // Enlarged pictures keep their hard pixel edges.
    setRenderHint(QPainter::SmoothPixmapTransform, false);
    setSceneRect(canvas->sceneRect());
    SetScale(ScaledStage::ScaleOf(parent));
}

void CanvasView::SetScale(int scale) {
    setTransform(QTransform::fromScale(scale, scale));
    setGeometry(QRect(gameGeometry.topLeft() * scale, gameGeometry.size() * scale));
}
