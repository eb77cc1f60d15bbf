#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <memory>

#include "platform/Canvas.h"
#include "platform/CanvasView.h"
#include "platform/Sprite.h"

namespace {

// A shown sprite of one 10x10 frame drawn only in its middle 4x4 pixels, hot spot at the top left.
std::unique_ptr<Sprite> CoreSprite(Canvas& canvas, QPointF position) {
    QImage frame(10, 10, QImage::Format_ARGB32);
    frame.fill(Qt::transparent);
    QPainter(&frame).fillRect(3, 3, 4, 4, Qt::blue);
    auto sprite = std::make_unique<Sprite>(
        SpriteFrames{{QPixmap::fromImage(frame)}, {QPoint(0, 0)}}, &canvas);
    sprite->setPos(position);
    sprite->show();
    return sprite;
}

}  // namespace

class TestPlatform : public QObject {
    Q_OBJECT

  private slots:
    void viewsAndSpritesCollide() {
        Canvas canvas;
        QWidget mainWidget;
        const CanvasView view(&canvas, &mainWidget, QRect(5, 10, 225, 292));
        QCOMPARE(view.focusPolicy(), Qt::NoFocus);  // keys go to the main widget alone

        // Drawn pixels decide: overlapping pictures, pixels side by side, one column, one pixel.
        // Moving, turning and placing sprites are the car test's and the pinned races'.
        const auto first = CoreSprite(canvas, QPointF(40.7, 50.2));
        QCOMPARE(first->boundingRectInt(), QRect(40, 50, 10, 10));  // whole pixels, toward zero
        first->setPos(-2.6, 0.99);
        QCOMPARE(first->boundingRectInt(), QRect(-2, 0, 10, 10));
        first->setPos(0, 0);
        first->setFrame(1);  // a frame that does not exist changes nothing
        QCOMPARE(first->frame(), 0);
        QCOMPARE(Sprite({}, &canvas).isVisible(), false);  // shown only when asked
        const auto second = CoreSprite(canvas, QPointF(6, 6));
        const std::pair<QPointF, bool> placings[] = {
            {{6, 6}, false}, {{4, 0}, false}, {{3, 0}, true}, {{3, 3}, true}};
        for (const auto& [at, hit] : placings) {
            second->setPos(at);
            QCOMPARE(first->collidingSprites(),
                     hit ? QList<Sprite*>{second.get()} : QList<Sprite*>{});
        }
        second->hide();
        QCOMPARE(first->collidingSprites(), QList<Sprite*>{});
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
