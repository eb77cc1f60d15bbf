#pragma once

#include <QBrush>
#include <QColor>
#include <QGraphicsSimpleTextItem>
#include <QString>

class QGraphicsScene;

// A text of the start menu in its colour. Like every item of ours it starts hidden and belongs to
// the canvas it is put on.
class LevelSelectBox : public QGraphicsSimpleTextItem {
  public:
    LevelSelectBox(const QString& text, const QColor& colour, QGraphicsScene* canvas);

    QColor Colour() const { return brush().color(); }
    void SetColour(const QColor& colour) { setBrush(colour); }
};
