#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <memory>

#include "platform/Canvas.h"
#include "platform/CanvasView.h"
#include "platform/Centring.h"
#include "platform/Config.h"
#include "platform/Sprite.h"
#include "tests/support/GameFixture.h"

namespace {

// A frame whose drawn pixels are only those of `drawn`; the rest is transparent.
QPixmap FramePicture(QSize size, const QRect& drawn) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(drawn, Qt::blue);
    return QPixmap::fromImage(image);
}

// A shown sprite of one 10x10 frame drawn only in its middle 4x4 pixels, hot spot at the top left.
std::unique_ptr<Sprite> CoreSprite(Canvas& canvas, QPointF position) {
    auto sprite = std::make_unique<Sprite>(
        SpriteFrames{{FramePicture(QSize(10, 10), QRect(3, 3, 4, 4))}, {QPoint(0, 0)}}, &canvas);
    sprite->setPos(position);
    sprite->show();
    return sprite;
}

QByteArray FileContents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestPlatform : public QObject {
    Q_OBJECT

  private slots:
    void spritesMoveTurnAndCollide();
    void configEntriesOutliveTheirStore();

  private:
    const TemporaryConfigHome home;
};

void TestPlatform::spritesMoveTurnAndCollide() {
    Canvas canvas;
    QWidget mainWidget;
    const CanvasView view(&canvas, &mainWidget, QRect(5, 10, 225, 292));
    QCOMPARE(view.geometry(), QRect(5, 10, 225, 292));
    QCOMPARE(view.focusPolicy(), Qt::NoFocus);  // keys go to the main widget alone
    QCOMPARE(CentredX(225, 100), 62);
    QCOMPARE(CentredX(225, 45), 90);

    const auto moving = CoreSprite(canvas, QPointF(10, 20));
    moving->setVelocity(1.5, -2.0);
    moving->setAnimated(true);
    const auto parked = CoreSprite(canvas, QPointF(50, 50));
    parked->setVelocity(3.0, 3.0);
    canvas.advance();
    QCOMPARE(moving->pos(), QPointF(11.5, 18.0));
    QCOMPARE(parked->pos(), QPointF(50, 50));
    canvas.advance();
    QCOMPARE(moving->pos(), QPointF(13.0, 16.0));

    // Both frames keep their hot spot at the position; frames that do not exist change nothing.
    Sprite turning({{FramePicture(QSize(12, 8), QRect(0, 0, 12, 8)),
                     FramePicture(QSize(6, 14), QRect(0, 0, 6, 14))},
                    {QPoint(2, 3), QPoint(5, 1)}},
                   &canvas);
    QVERIFY(!turning.isVisible());
    turning.setPos(40.7, 50.2);
    QCOMPARE(turning.boundingRectInt(), QRect(38, 47, 12, 8));
    for (const int frame : {1, 2, -1}) {
        turning.setFrame(frame);
        QCOMPARE(turning.frame(), 1);
        QCOMPARE(turning.pos(), QPointF(40.7, 50.2));
        QCOMPARE(turning.boundingRectInt(), QRect(35, 49, 6, 14));
    }
    turning.setPos(-2.6, 0.99);  // truncated toward zero
    QCOMPARE(turning.boundingRectInt(), QRect(-7, -1, 6, 14));

    // Drawn pixels decide: overlapping pictures, pixels side by side, one column, one pixel.
    const auto first = CoreSprite(canvas, QPointF(0, 0));
    const auto second = CoreSprite(canvas, QPointF(6, 6));
    const struct {
        QPointF at;
        bool hit;
    } placings[] = {{{6, 6}, false}, {{4, 0}, false}, {{3, 0}, true}, {{3, 3}, true}};
    for (const auto& placing : placings) {
        second->setPos(placing.at);
        const auto hits =
            placing.hit ? QList<QGraphicsItem*>{second.get()} : QList<QGraphicsItem*>{};
        QCOMPARE(first->collisions(), hits);
    }
    second->hide();
    QVERIFY(first->collisions().isEmpty());
}

// Odd keys and values, damaged and special files are the records tests' and the fuzz test's.
void TestPlatform::configEntriesOutliveTheirStore() {
    const QString path = home.Path() + "/Vantor.ini";
    {
        Config store("Vantor");
        QCOMPARE(store.fileName(), path);
        store.setGroup("vantor");
        QCOMPARE(store.readEntry("/LapTime/Track0/FiveLaps", "999.99"), QString("999.99"));
        store.writeEntry("/LapTime/Track0/FiveLaps", "123.457");
        QCOMPARE(QFileInfo::exists(path), false);  // nothing reaches the disk before the release
    }
    QCOMPARE(FileContents(path), QByteArray("[vantor]\nLapTime\\Track0\\FiveLaps=123.457\n"));
    Config again("Vantor");
    again.setGroup("vantor");
    QCOMPARE(again.readEntry("/LapTime/Track0/FiveLaps", "999.99"), QString("123.457"));
    again.setGroup("other");  // a group keeps its entries apart
    QCOMPARE(again.readEntry("/LapTime/Track0/FiveLaps", "none"), QString("none"));
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
