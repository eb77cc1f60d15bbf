#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

#include "platform/Canvas.h"
#include "platform/CanvasView.h"
#include "platform/Centring.h"
#include "platform/Config.h"
#include "platform/Sprite.h"

namespace {

// A frame of the given size whose drawn pixels are only those of `drawn`; the rest is transparent.
QPixmap FramePicture(QSize size, const QRect& drawn) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(drawn, Qt::blue);
    painter.end();
    return QPixmap::fromImage(image);
}

// A 10x10 frame drawn only in its middle 4x4 pixels (2..5 from the hot spot 0,0 at the top left).
SpriteFrames CoreFrames() {
    return SpriteFrames{{FramePicture(QSize(10, 10), QRect(3, 3, 4, 4))}, {QPoint(0, 0)}};
}

std::unique_ptr<Sprite> SpriteAt(Canvas& canvas, SpriteFrames frames, QPointF position) {
    auto sprite = std::make_unique<Sprite>(std::move(frames), &canvas);
    sprite->setPos(position);
    sprite->show();
    return sprite;
}

QByteArray FileContents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Text values that the INI layout has to quote, escape or otherwise take care of.
const QStringList AWKWARD_VALUES = {
    "",
    " padded ",
    "a;b",
    "1,5",
    "say \"hi\"",
    "back\\slash",
    "line1\nline2\r",
    "tab\there",
    QString("\x01") + "7f",
    "@literal",
    "@@double",
    "Gr\u00fc\u00dfe \u263a",
    "=eq",
    "#hash",
    "999.99",
};
const QStringList AWKWARD_KEYS = {
    "LapTime/Track0/FiveLaps", "with space", "\u00fcmlaut", "percent%", "a.b-c_d", "x/y/z",
};

}  // namespace

class TestPlatform : public QObject {
    Q_OBJECT

  public:
    explicit TestPlatform(QString home) : configHome(std::move(home)) {}

  private slots:
    void itemsStartHidden();
    void advanceMovesAnimatedSpritesByTheirVelocity();
    void frameChangeKeepsTheHotSpotAtThePosition();
    void collisionsFollowDrawnPixels();
    void boundingRectIntTruncatesThePosition();
    void configEntriesOutliveTheirStore();
    void configFileKeepsTheIniLayout();
    void configFailedSaveKeepsTheOldFile();
    void centringUsesTruncatingHalves();
    void canvasViewNeverTakesFocus();

  private:
    QString StorePath(const QString& name) const { return configHome + '/' + name + ".ini"; }

    const QString configHome;
};

void TestPlatform::itemsStartHidden() {
    Canvas canvas;
    QCOMPARE(canvas.sceneRect(), QRectF(0, 0, 225, 292));
    const Sprite sprite(CoreFrames(), &canvas);
    QVERIFY(!sprite.isVisible());
    QCOMPARE(sprite.scene(), &canvas);
}

void TestPlatform::advanceMovesAnimatedSpritesByTheirVelocity() {
    Canvas canvas;
    const auto moving = SpriteAt(canvas, CoreFrames(), QPointF(10, 20));
    moving->setVelocity(1.5, -2.0);
    moving->setAnimated(true);
    const auto parked = SpriteAt(canvas, CoreFrames(), QPointF(50, 50));
    parked->setVelocity(3.0, 3.0);
    const auto hidden = SpriteAt(canvas, CoreFrames(), QPointF(100, 100));
    hidden->setVelocity(-1.0, 0.5);
    hidden->setAnimated(true);
    hidden->hide();

    canvas.advance();
    QCOMPARE(moving->pos(), QPointF(11.5, 18.0));
    QCOMPARE(parked->pos(), QPointF(50, 50));
    // Animated sprites move whether shown or not, as a car blinking back onto the track does.
    QCOMPARE(hidden->pos(), QPointF(99.0, 100.5));

    canvas.advance();
    canvas.advance();
    QCOMPARE(moving->pos(), QPointF(14.5, 14.0));
    QCOMPARE(parked->pos(), QPointF(50, 50));

    moving->setAnimated(false);
    canvas.advance();
    QCOMPARE(moving->pos(), QPointF(14.5, 14.0));
    QCOMPARE(moving->xVelocity(), 1.5);
    QCOMPARE(moving->yVelocity(), -2.0);
}

void TestPlatform::frameChangeKeepsTheHotSpotAtThePosition() {
    Canvas canvas;
    SpriteFrames frames{{FramePicture(QSize(12, 8), QRect(0, 0, 12, 8)),
                         FramePicture(QSize(6, 14), QRect(0, 0, 6, 14))},
                        {QPoint(2, 3), QPoint(5, 1)}};
    const auto sprite = SpriteAt(canvas, std::move(frames), QPointF(40, 50));
    QCOMPARE(sprite->frameCount(), 2);
    QCOMPARE(sprite->sceneBoundingRect(), QRectF(38, 47, 12, 8));

    sprite->setFrame(1);
    QCOMPARE(sprite->frame(), 1);
    QCOMPARE(sprite->pos(), QPointF(40, 50));
    QCOMPARE(sprite->sceneBoundingRect(), QRectF(35, 49, 6, 14));
    QCOMPARE(sprite->width(), 6);
    QCOMPARE(sprite->height(), 14);

    // Frames that do not exist leave the picture as it is.
    sprite->setFrame(2);
    sprite->setFrame(-1);
    QCOMPARE(sprite->frame(), 1);
    QCOMPARE(sprite->sceneBoundingRect(), QRectF(35, 49, 6, 14));

    sprite->setFrame(0);
    QCOMPARE(sprite->sceneBoundingRect(), QRectF(38, 47, 12, 8));
}

void TestPlatform::collisionsFollowDrawnPixels() {
    Canvas canvas;
    const auto first = SpriteAt(canvas, CoreFrames(), QPointF(0, 0));
    const auto second = SpriteAt(canvas, CoreFrames(), QPointF(6, 6));

    // The pictures overlap by 4x4 pixels, all of them transparent in at least one sprite.
    QVERIFY(first->sceneBoundingRect().intersects(second->sceneBoundingRect()));
    QVERIFY(first->collisions().isEmpty());
    QVERIFY(second->collisions().isEmpty());

    // Drawn pixels side by side, but not on top of each other: columns 3..6 and 7..10.
    second->setPos(4, 0);
    QVERIFY(first->collisions().isEmpty());

    // One drawn column in common.
    second->setPos(3, 0);
    QCOMPARE(first->collisions(), QList<QGraphicsItem*>{second.get()});
    QCOMPARE(second->collisions(), QList<QGraphicsItem*>{first.get()});

    // A single drawn pixel in common, diagonally.
    second->setPos(3, 3);
    QCOMPARE(first->collisions(), QList<QGraphicsItem*>{second.get()});

    // Hidden items are not there to hit.
    second->hide();
    QVERIFY(first->collisions().isEmpty());
}

void TestPlatform::boundingRectIntTruncatesThePosition() {
    Canvas canvas;
    SpriteFrames frames{{FramePicture(QSize(8, 6), QRect(0, 0, 8, 6))}, {QPoint(3, 4)}};
    const auto sprite = SpriteAt(canvas, std::move(frames), QPointF(10.7, 20.9));
    QCOMPARE(sprite->boundingRectInt(), QRect(7, 16, 8, 6));

    // Truncation is toward zero on both sides of the origin.
    sprite->setPos(-2.6, 0.99);
    QCOMPARE(sprite->boundingRectInt(), QRect(-5, -4, 8, 6));
}

void TestPlatform::configEntriesOutliveTheirStore() {
    const QString path = StorePath("Vantor");
    {
        Config store("Vantor");
        QCOMPARE(store.fileName(), path);
        store.setGroup("vantor");
        QCOMPARE(store.readEntry("/LapTime/Track0/FiveLaps", "999.99"), QString("999.99"));
        store.writeEntry("/LapTime/Track0/FiveLaps", "123.457");
        // Nothing reaches the disk before the store is released.
        QVERIFY(!QFileInfo::exists(path));
    }
    QVERIFY(QFileInfo(path).isFile());

    Config again("Vantor");
    again.setGroup("vantor");
    QCOMPARE(again.readEntry("/LapTime/Track0/FiveLaps", "999.99"), QString("123.457"));
    QCOMPARE(again.readEntry("/LapTime/Track1/FiveLaps", "999.99"), QString("999.99"));
    // Groups keep their entries apart.
    again.setGroup("other");
    QCOMPARE(again.readEntry("/LapTime/Track0/FiveLaps", "none"), QString("none"));

    const QByteArray contents = FileContents(path);
    QVERIFY2(contents.startsWith("[vantor]\n"), contents.constData());
    QVERIFY2(contents.contains("\nLapTime\\Track0\\FiveLaps=123.457\n"), contents.constData());
}

void TestPlatform::configFileKeepsTheIniLayout() {
    // What the store writes, Qt's own INI reader reads back unchanged...
    {
        Config store("Written");
        store.writeEntry("ungrouped", "top level");
        store.setGroup("odd");
        for (qsizetype i = 0; i < AWKWARD_VALUES.size(); ++i) {
            store.writeEntry(QString("value%1").arg(i), AWKWARD_VALUES.at(i));
        }
        for (const QString& key : AWKWARD_KEYS) {
            store.writeEntry(key, key);
        }
        QVERIFY(store.save());
    }
    {
        const QSettings qt(StorePath("Written"), QSettings::IniFormat);
        QCOMPARE(qt.value("ungrouped").toString(), QString("top level"));
        for (qsizetype i = 0; i < AWKWARD_VALUES.size(); ++i) {
            QCOMPARE(qt.value(QString("odd/value%1").arg(i)).toString(), AWKWARD_VALUES.at(i));
        }
        for (const QString& key : AWKWARD_KEYS) {
            QCOMPARE(qt.value("odd/" + key).toString(), key);
        }
    }
    {
        Config store("Written");
        store.setGroup("odd");
        for (qsizetype i = 0; i < AWKWARD_VALUES.size(); ++i) {
            QCOMPARE(store.readEntry(QString("value%1").arg(i), "missing"), AWKWARD_VALUES.at(i));
        }
    }

    // ...and what Qt writes, the store reads.
    {
        QSettings qt(StorePath("FromQt"), QSettings::IniFormat);
        qt.setValue("vantor/LapTime/Track3/TenLaps", "61.5");
        for (qsizetype i = 0; i < AWKWARD_VALUES.size(); ++i) {
            qt.setValue(QString("odd/value%1").arg(i), AWKWARD_VALUES.at(i));
        }
        for (const QString& key : AWKWARD_KEYS) {
            qt.setValue("odd/" + key, key);
        }
        qt.setValue("kept/entry", "still here");
        qt.sync();
        QCOMPARE(qt.status(), QSettings::NoError);
    }
    {
        Config store("FromQt");
        store.setGroup("vantor");
        QCOMPARE(store.readEntry("/LapTime/Track3/TenLaps", "999.99"), QString("61.5"));
        store.setGroup("odd");
        for (qsizetype i = 0; i < AWKWARD_VALUES.size(); ++i) {
            QCOMPARE(store.readEntry(QString("value%1").arg(i), "missing"), AWKWARD_VALUES.at(i));
        }
        for (const QString& key : AWKWARD_KEYS) {
            QCOMPARE(store.readEntry(key, "missing"), key);
        }
        // Writing one group keeps every other group of the file.
        store.setGroup("vantor");
        store.writeEntry("/LapTime/Track3/TenLaps", "60");
    }
    // A file edited by hand: byte order mark, comments, blanks around keys and values.
    {
        QFile file(StorePath("ByHand"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "\xEF\xBB\xBF; written by hand\n"
            "[vantor]\n"
            "# a comment\n"
            "\n"
            "  LapTime\\Track2\\TenLaps  =   88.5   ; the old record\n"
            "LapTime\\Track3\\TenLaps=\"  spaced  \" ; kept\n");
    }
    Config byHand("ByHand");
    byHand.setGroup("vantor");
    QCOMPARE(byHand.readEntry("/LapTime/Track2/TenLaps", "none"), QString("88.5"));
    QCOMPARE(byHand.readEntry("/LapTime/Track3/TenLaps", "none"), QString("  spaced  "));

    Config reread("FromQt");
    reread.setGroup("kept");
    QCOMPARE(reread.readEntry("entry", "lost"), QString("still here"));
    reread.setGroup("vantor");
    QCOMPARE(reread.readEntry("/LapTime/Track3/TenLaps", "999.99"), QString("60"));
}

void TestPlatform::configFailedSaveKeepsTheOldFile() {
    const QString path = StorePath("Full");
    {
        Config store("Full");
        store.setGroup("vantor");
        for (int i = 0; i < 100; ++i) {
            store.writeEntry(QString("/LapTime/Track%1/FiveLaps").arg(i), "999.99");
        }
        QVERIFY(store.save());
    }
    const QByteArray before = FileContents(path);
    QVERIFY(before.size() > 2048);

    {
        Config store("Full");
        store.setGroup("vantor");
        store.writeEntry("/LapTime/Track0/FiveLaps", "10");
        // A full disk, as far as this process is concerned: the file size limit stops root too.
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit full = previous;
        full.rlim_cur = 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
        const bool saved = store.save();
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!saved);
        QCOMPARE(FileContents(path), before);
        QCOMPARE(QFileInfo(path).size(), qint64(before.size()));
        // Released with its change unsaved: it tries again, now with room to spare.
    }
    Config after("Full");
    after.setGroup("vantor");
    QCOMPARE(after.readEntry("/LapTime/Track0/FiveLaps", "missing"), QString("10"));
    QCOMPARE(after.readEntry("/LapTime/Track99/FiveLaps", "missing"), QString("999.99"));

    // A folder where the file belongs: nothing to read, nothing written, nothing removed.
    QVERIFY(QDir().mkpath(StorePath("Folder") + "/inside"));
    {
        Config store("Folder");
        QCOMPARE(store.readEntry("key", "default"), QString("default"));
        store.writeEntry("key", "text");
        QVERIFY(!store.save());
    }
    QVERIFY(QFileInfo(StorePath("Folder") + "/inside").isDir());

    // A configuration folder that cannot exist, below a regular file.
    QFile blocker(configHome + "/plain-file");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName() + "/config"));
    bool saved = true;
    {
        Config store("Vantor");
        store.writeEntry("key", "text");
        saved = store.save();
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome));
    QVERIFY(!saved);
    QVERIFY(QFileInfo(blocker.fileName()).isFile());
}

void TestPlatform::centringUsesTruncatingHalves() {
    QCOMPARE(CentredX(225, 100), 62);
    QCOMPARE(CentredX(225, 45), 90);
    QCOMPARE(CentredX(225, 225), 0);
    QCOMPARE(CentredX(225, 0), 112);
}

void TestPlatform::canvasViewNeverTakesFocus() {
    Canvas canvas;
    QWidget mainWidget;
    mainWidget.setFocusPolicy(Qt::StrongFocus);
    mainWidget.resize(240, 320);
    CanvasView view(&canvas, &mainWidget, QRect(5, 10, 225, 292));
    QCOMPARE(view.geometry(), QRect(5, 10, 225, 292));
    QCOMPARE(view.focusPolicy(), Qt::NoFocus);
    QCOMPARE(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    mainWidget.show();
    mainWidget.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&mainWidget));
    mainWidget.setFocus();
    QCOMPARE(QApplication::focusWidget(), &mainWidget);

    // Neither a click on the view nor tabbing moves the focus away from the main widget.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QCOMPARE(QApplication::focusWidget(), &mainWidget);
    QTest::keyClick(&mainWidget, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &mainWidget);
}

int main(int argc, char** argv) {
    // The settings store finds its folder through XDG_CONFIG_HOME: point it at a private one.
    QTemporaryDir configHome;
    if (!configHome.isValid()) {
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    TestPlatform test(configHome.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
