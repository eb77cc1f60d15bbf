#pragma once

#include <QGraphicsItem>

// A canvas item that covers a width x height rectangle from its position and draws itself in
// drawShape(). Like every item of ours it starts hidden and belongs to the canvas it is put on.
class RectangleItem : public QGraphicsItem {
  public:
    explicit RectangleItem(QGraphicsScene* canvas);

    void setSize(int width, int height);
    int width() const { return size.width(); }
    int height() const { return size.height(); }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

  protected:
    virtual void drawShape(QPainter& painter) = 0;

  private:
    QSize size;
};
