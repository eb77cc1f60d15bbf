#pragma once

#include <QGraphicsView>

// A screen's window on the shared canvas: fixed geometry, no scroll bars, no frame, and no focus,
// so that every key reaches the main widget.
class CanvasView : public QGraphicsView {
  public:
    CanvasView(QGraphicsScene* canvas, QWidget* parent, const QRect& geometry);
};
