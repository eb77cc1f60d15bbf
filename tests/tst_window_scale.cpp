// The window at any size: the game's screen drawn at the largest whole scale that fits, centred on
// green, and at that scale exactly the 1x picture enlarged, with the texts drawn anew at their
// enlarged places.
#include <QtTest>

#include "app/Vantor.h"
#include "platform/Canvas.h"
#include "platform/CanvasView.h"
#include "platform/ScaledStage.h"
#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/Pixels.h"

namespace {

const QSize STAGE(240, 300);
const QRect VIEW_AT_1X(8, -3, 225, 292);

// The test's desktop: a large screen and a small one beside it, each with a scale of its own (5 and
// 3), larger than any window the other tests ask for.
const QRect LARGE_SCREEN(0, 0, 2560, 1600);
const QRect SMALL_SCREEN(2560, 0, 800, 1000);
const QSize DESKTOP(3360, 1600);

QByteArray ScreenJson(const char* name, QRect screen) {
    return QStringLiteral(R"({"name": "%1", "x": %2, "y": %3, "width": %4, "height": %5,)"
                          R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
        .arg(name)
        .arg(screen.x())
        .arg(screen.y())
        .arg(screen.width())
        .arg(screen.height())
        .toUtf8();
}

QImage Shot(QWidget& window, QSize size) {
    window.resize(size);
    // A window's new size comes back from the platform; a shot of the wrong size fails to compare.
    if (!QTest::qWaitFor([&] { return window.size() == size; }))
        return {};
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Where the texts on show lie in the 1x window, a pixel wider all round for their soft edges,
// with their colours.
QList<QPair<QRect, QColor>> TextBoxes(const QWidget& window) {
    QList<QPair<QRect, QColor>> boxes;
    for (const CanvasView* view : window.findChildren<CanvasView*>()) {
        for (const auto* text : ItemsOf<QGraphicsSimpleTextItem>(*view->scene())) {
            if (view->isVisible() && text->isVisible()) {
                const QRect box = text->sceneBoundingRect().toAlignedRect().translated(
                    view->mapTo(&window, QPoint(0, 0)));
                boxes.append({box.adjusted(-1, -1, 1, 1), text->brush().color()});
            }
        }
    }
    return boxes;
}

}  // namespace

class WindowScaleTest : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;
    PreviewDirectory pictures;

  private slots:
    void largestScaleThatFits_data() {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<int>("scale");
        // clang-format off
        const QList<std::tuple<const char*, QSize, int>> rows = {
            {"smaller than the stage", {100, 120}, 1}, {"one pixel too narrow", {239, 300}, 1},
            {"one pixel too low", {240, 299}, 1}, {"the stage", {240, 300}, 1},
            {"just below 2x wide", {479, 600}, 1}, {"just below 2x high", {480, 599}, 1},
            {"2x", {480, 600}, 2}, {"just below 3x wide", {719, 900}, 2},
            {"just below 3x high", {720, 899}, 2}, {"3x", {720, 900}, 3},
            {"just below 4x", {959, 1200}, 3}, {"4x", {960, 1200}, 4},
            {"1920x1080", {1920, 1080}, 3}, {"1024x768", {1024, 768}, 2},
            {"wide and low", {3840, 620}, 2}, {"narrow and tall", {500, 4000}, 2}};
        // clang-format on
        for (const auto& [name, area, scale] : rows) QTest::newRow(name) << area << scale;
    }
    void largestScaleThatFits() {
        QFETCH(QSize, area);
        QFETCH(int, scale);
        QCOMPARE(ScaledStage::FittingScale(STAGE, area), scale);
    }

    // Every resize takes the largest scale that fits; the stage is centred and never cut off, its
    // screens cover it, and views old and new draw at the scale.
    void followsTheWindowSize() {
        Canvas canvas;
        ScaledStage stage(STAGE, nullptr);
        QWidget screen(&stage);
        const CanvasView view(&canvas, &screen, VIEW_AT_1X);
        stage.show();
        const QList<std::tuple<QSize, int, QPoint>> sizes = {
            {{240, 300}, 1, {0, 0}},     {{500, 700}, 2, {10, 50}},  {{1000, 950}, 3, {140, 25}},
            {{2000, 961}, 3, {640, 30}}, {{1000, 1201}, 4, {20, 0}}, {{300, 599}, 1, {30, 149}},
        };
        for (const auto& [size, scale, corner] : sizes) {
            const QString window = QString("%1x%2: ").arg(size.width()).arg(size.height());
            stage.resize(size);
            QTRY_COMPARE(stage.size(), size);
            QCOMPARE(window + QString::number(stage.Scale()), window + QString::number(scale));
            // Every corner in the table leaves the stage whole inside the window.
            QCOMPARE(screen.geometry(), QRect(corner, STAGE * scale));
            QCOMPARE(view.geometry(),
                     QRect(VIEW_AT_1X.topLeft() * scale, VIEW_AT_1X.size() * scale));
            QCOMPARE(view.transform(), QTransform::fromScale(scale, scale));
        }
        QWidget laterScreen(&stage);
        const CanvasView laterView(&canvas, &laterScreen, VIEW_AT_1X);
        QCOMPARE(laterView.transform(), QTransform::fromScale(1, 1));
        stage.resize(720, 900);
        QTRY_COMPARE(laterView.transform(), QTransform::fromScale(3, 3));
        QCOMPARE(laterScreen.geometry(), QRect(0, 0, 720, 900));
    }

    // The stage never grows past the scale that fits the screen it is on, whatever the window's
    // size; a window larger than the desktop is brought back to it, so the memory its picture takes
    // stays bounded; fullscreen gets the scale that fits its screen.
    void scaleIsCappedByTheScreen() {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        Canvas canvas;
        ScaledStage stage(STAGE, nullptr);
        QWidget screen(&stage);
        const CanvasView view(&canvas, &screen, VIEW_AT_1X);
        // A 5x window whose middle lies on the small screen: 3x there, centred on green.
        stage.setGeometry(QRect(QPoint(SMALL_SCREEN.x() - 200, 0), STAGE * 5));
        stage.show();
        QTRY_COMPARE(stage.screen()->geometry(), SMALL_SCREEN);
        QTRY_COMPARE(stage.size(), STAGE * 5);
        QCOMPARE(stage.MaximumScale(), 3);
        QCOMPARE(stage.Scale(), 3);
        QCOMPARE(screen.geometry(), QRect(QPoint(240, 300), STAGE * 3));
        QCOMPARE(view.transform(), QTransform::fromScale(3, 3));
        // Moved to the large screen without a resize, it takes the 5x that fits there.
        stage.move(100, 0);
        QTRY_COMPARE(stage.screen()->geometry(), LARGE_SCREEN);
        QTRY_COMPARE(stage.Scale(), 5);

        const bool measured = ResetPeakMemory();
        const long before = PeakMemoryKiB();
        for (const QSize huge : {QSize(16000, 20000), QSize(32767, 32767), QSize(4000, 900)}) {
            const QString window = QString("%1x%2: ").arg(huge.width()).arg(huge.height());
            stage.resize(huge);
            QTRY_COMPARE(
                window + QString::number(stage.width()) + 'x' + QString::number(stage.height()),
                window + QString::number(std::min(huge.width(), DESKTOP.width())) + 'x' +
                    QString::number(std::min(huge.height(), DESKTOP.height())));
            stage.repaint();
            QCOMPARE(window + QString::number(stage.Scale()),
                     window + QString::number(huge.height() < 1500 ? 3 : 5));
        }
        // The largest window then is the desktop's, 21 MB of picture; one of 16000 x 20000 took 1.2
        // GB.
        if (measured)
            QVERIFY2(PeakMemoryKiB() - before < 100 * 1024,
                     qPrintable(QString("peak grew by %1 KiB").arg(PeakMemoryKiB() - before)));

        for (const QRect& shownOn : {SMALL_SCREEN, LARGE_SCREEN}) {
            stage.showNormal();
            stage.setGeometry(QRect(shownOn.topLeft() + QPoint(10, 10), STAGE));
            QTRY_COMPARE(stage.screen()->geometry(), shownOn);
            stage.showFullScreen();
            QTRY_COMPARE(stage.size(), shownOn.size());
            QCOMPARE(stage.Scale(), shownOn == SMALL_SCREEN ? 3 : 5);
        }
    }

    // Each screen at 2x and 3x against the same screen at 1x: outside the texts every pixel is the
    // 1x pixel it enlarges; every text stands where its 1x ink, enlarged, stands, drawn anew from
    // the font rather than enlarged. A larger window shows the same picture centred on green.
    void enlargesTheGamePixelForPixel_data() {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("scale");
        const char* screens[] = {"menu", "race", "end"};
        for (int row = 0; row < 6; ++row)
            QTest::addRow("%s at %dx", screens[row / 2], 2 + row % 2) << row / 2 << 2 + row % 2;
    }
    void enlargesTheGamePixelForPixel() {
        QFETCH(int, screen);
        QFETCH(int, scale);
        Vantor game(pictures.Path());
        QCOMPARE(game.minimumSize(), STAGE);
        game.Start();
        const GameScreens screens(game);
        if (screen > 0) {
            game.RaceStart();
            // The countdown stands still while the shots are taken.
            screens.race->findChild<QTimer*>()->stop();
        }
        if (screen > 1)
            game.RaceFinished(false, 61500);

        const QImage small = Shot(game, STAGE);
        const auto texts = TextBoxes(game);
        const QImage large = Shot(game, STAGE * scale);
        QVERIFY(!texts.isEmpty());
        auto inText = [&](QPoint p) {
            return std::any_of(texts.begin(), texts.end(),
                               [&](auto& t) { return t.first.contains(p); });
        };
        // Text pixels differ from the enlarged ones somewhere: drawn anew, not enlarged.
        int differing = 0, redrawn = 0;
        for (int y = 0; y < large.height(); ++y) {
            for (int x = 0; x < large.width(); ++x) {
                const QPoint p(x / scale, y / scale);
                (inText(p) ? redrawn : differing) += large.pixel(x, y) != small.pixel(p);
            }
        }
        QCOMPARE(differing, 0);
        QVERIFY(redrawn > 0);
        for (const auto& [box, colour] : texts) {
            const auto ink = [&box = box, near = Near(colour, 60)](const QImage& shot, int k) {
                return QRectF(
                    Find(shot.copy(QRect(box.topLeft() * k, box.size() * k)), near).first);
            };
            const QRectF inkAt1x = ink(small, 1);
            const QString text = QString("text at %1,%2 ").arg(box.x()).arg(box.y());
            QVERIFY2(!inkAt1x.isEmpty(), qPrintable(text + "not drawn"));
            // Within two game pixels: small glyphs are fitted to whole pixels, large ones less so.
            const QPointF shift = ink(large, scale).center() / scale - inkAt1x.center();
            QVERIFY2(std::max(qAbs(shift.x()), qAbs(shift.y())) <= 2,
                     qPrintable(text + QString("moved by %1,%2").arg(shift.x()).arg(shift.y())));
        }

        const QSize roomy = STAGE * scale + QSize(2 * scale + 11, 4 * scale + 7);
        QImage centred(roomy, QImage::Format_RGB32);
        centred.fill(Canvas::BACKGROUND);
        QPainter(&centred).drawImage((roomy.width() - large.width()) / 2,
                                     (roomy.height() - large.height()) / 2, large);
        QCOMPARE(Shot(game, roomy), centred);
    }

    // F11 fills the screen and gives the window back, on every screen of the game, with the scale
    // that fits each size, centred; the screens never take it as a key (on the end screen any key
    // would leave it).
    void fullScreenAndBack() {
        Vantor game(pictures.Path());
        game.Start();
        const GameScreens screens(game);
        const QSize windowed(300, 350), full = game.screen()->geometry().size();
        QVERIFY2(ScaledStage::FittingScale(STAGE, full) > 1, "the screen is too small to tell");
        game.resize(windowed);
        QTRY_COMPARE(game.size(), windowed);
        const auto stageAt = [&](QSize size) {
            const int scale = ScaledStage::FittingScale(STAGE, size);
            const QSize stage = STAGE * scale;
            return QString("%1x%2 at %3: %4,%5")
                .arg(size.width())
                .arg(size.height())
                .arg(scale)
                .arg((size.width() - stage.width()) / 2)
                .arg((size.height() - stage.height()) / 2);
        };
        const auto shown = [&](QWidget* screen) {
            const QRect stage = screen->geometry();
            return QString("%1x%2 at %3: %4,%5")
                .arg(game.width())
                .arg(game.height())
                .arg(ScaledStage::ScaleOf(screen))
                .arg(stage.x())
                .arg(stage.y());
        };
        const QList<QPair<QWidget*, std::function<void()>>> visits = {
            {screens.start, [] {}},
            {screens.race, [&] { game.RaceStart(); }},
            {screens.end, [&] { game.RaceFinished(false, 61500); }},
        };
        for (const auto& [screen, visit] : visits) {
            visit();
            const QByteArray name = screen->metaObject()->className();
            QVERIFY2(screen->isVisible(), name);
            QTest::keyClick(&game, Qt::Key_F11);
            QTRY_VERIFY2(game.size() == full, name);
            COMPARE_CASE(shown(screen), stageAt(full), name);
            QTest::keyClick(&game, Qt::Key_F11);
            QTRY_VERIFY2(game.size() == windowed, name);
            COMPARE_CASE(shown(screen), stageAt(windowed), name);
            QVERIFY2(screen->isVisible(), name);
        }
    }
};

int main(int argc, char* argv[]) {
    QTemporaryFile screens;
    if (!screens.open() ||
        screens.write("{\"screens\": [" + ScreenJson("large", LARGE_SCREEN) + ", " +
                      ScreenJson("small", SMALL_SCREEN) + "]}") < 0 ||
        !screens.flush())
        qFatal("The test's screens could not be written");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication application(argc, argv);
    WindowScaleTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window_scale.moc"
