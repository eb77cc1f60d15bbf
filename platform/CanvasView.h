#pragma once

#include <QGraphicsView>

// A screen's window on the shared canvas: fixed geometry, no scroll bars, no frame, and no focus,
// so that every key reaches the main widget. The geometry is given in game pixels; on a scaled
// stage the view draws the canvas k times enlarged at k times that geometry.
class CanvasView : public QGraphicsView {
  public:
    CanvasView(QGraphicsScene* canvas, QWidget* parent, const QRect& geometry);

    // Called by the stage the view stands on whenever its scale changes.
    void SetScale(int scale);

  private:
    const QRect gameGeometry;
};
