#include "screens/LevelSelectBox.h"

#include <QGraphicsScene>

LevelSelectBox::LevelSelectBox(const QString& text, const QColor& colour, QGraphicsScene* canvas)
    : QGraphicsSimpleTextItem(text) {
    setBrush(colour);
    setVisible(false);
    if (canvas != nullptr) {
        canvas->addItem(this);
    }
}
