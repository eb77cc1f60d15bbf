// The window at any size: the game's screen drawn at the largest whole scale that fits, centred on
// green, and at that scale exactly the 1x picture enlarged, with the texts drawn anew at their
// enlarged places.
#include <QtTest>

#include "app/Vantor.h"
#include "platform/Canvas.h"
#include "platform/CanvasView.h"
#include "platform/ScaledStage.h"
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

// Facts as one line, so that a failure shows them all, the case they belong to among them.
template <typename... Facts>
QString Line(const Facts&... facts) {
    QString line;
    (QDebug(&line) << ... << facts);
    return line;
}

// How a stage at this scale places a screen, its corner given, and a view on it in a window of this
// size, and how the view draws.
QString Placing(QSize window, int scale, QPoint corner) {
    const QTransform zoom = QTransform::fromScale(scale, scale);
    return Line(window, scale, QRect(corner, STAGE * scale), zoom.mapRect(VIEW_AT_1X), zoom);
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
        const QPoint corner = view->mapTo(&window, QPoint(0, 0));
        for (const auto* text : ItemsOf<QGraphicsSimpleTextItem>(*view->scene()))
            if (view->isVisible() && text->isVisible())
                boxes.append({text->sceneBoundingRect().toAlignedRect().translated(corner).adjusted(
                                  -1, -1, 1, 1),
                              text->brush().color()});
    }
    return boxes;
}

}  // namespace

class WindowScaleTest : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;
    PreviewDirectory pictures;

  private slots:
    // Every resize takes the largest whole scale that fits, up to the one that fits the screen the
    // window is on: the stage is centred and never cut off, its screens cover it, and views old and
    // new draw at the scale. A window larger than the desktop is brought back to it, so that the
    // memory its picture takes stays bounded.
    void scaleFollowsTheWindowAndItsScreen() {
        Canvas canvas;
        ScaledStage stage(STAGE, nullptr);
        QWidget screen(&stage);
        const CanvasView view(&canvas, &screen, VIEW_AT_1X);
        stage.show();
        QTRY_COMPARE(stage.screen()->geometry(), LARGE_SCREEN);
        const auto placed = [&] {
            return Line(stage.size(), stage.Scale(), screen.geometry(), view.geometry(),
                        view.transform());
        };
        // The window's size, and the scale and corner of the stage: smaller than the stage, a pixel
        // short of a scale across or down, exactly a scale, wide and low, narrow and tall.
        const std::tuple<QSize, int, QPoint> sizes[] = {
            {{100, 120}, 1, {0, 0}},      {{240, 300}, 1, {0, 0}},    {{479, 600}, 1, {119, 150}},
            {{480, 599}, 1, {120, 149}},  {{480, 600}, 2, {0, 0}},    {{1000, 950}, 3, {140, 25}},
            {{959, 1200}, 3, {119, 150}}, {{960, 1200}, 4, {0, 0}},   {{1000, 1201}, 4, {20, 0}},
            {{2000, 961}, 3, {640, 30}},  {{300, 599}, 1, {30, 149}}, {{500, 1500}, 2, {10, 450}}};
        for (const auto& [size, scale, corner] : sizes) {
            stage.resize(size);
            QTRY_COMPARE(stage.size(), size);
            QCOMPARE(placed(), Placing(size, scale, corner));
        }
        QWidget laterScreen(&stage);
        const CanvasView laterView(&canvas, &laterScreen, VIEW_AT_1X);
        QCOMPARE(Line(laterView.transform()), Line(QTransform::fromScale(2, 2)));
        stage.resize(720, 900);
        QTRY_COMPARE(Line(laterScreen.geometry(), laterView.transform()),
                     Line(QRect(0, 0, 720, 900), QTransform::fromScale(3, 3)));

        // A 5x window whose middle lies on the small screen: 3x there, centred on green.
        stage.setGeometry(QRect(QPoint(SMALL_SCREEN.x() - 200, 0), STAGE * 5));
        QTRY_COMPARE(placed(), Placing(STAGE * 5, 3, QPoint(240, 300)));
        // Moved to the large screen without a resize, it takes the 5x that fits there.
        stage.move(100, 0);
        QTRY_COMPARE(stage.Scale(), 5);

        // The largest window then is the desktop's, 21 MB of picture; one of 16000 x 20000 took
        // 1.2 GB.
        const long before = PeakMemoryKiB(true);
        for (const QSize huge : {QSize(16000, 20000), QSize(32767, 32767), QSize(4000, 900)}) {
            stage.resize(huge);
            const QSize desktop = LARGE_SCREEN.united(SMALL_SCREEN).size();
            QTRY_COMPARE(Line(huge, stage.size(), stage.Scale()),
                         Line(huge, huge.boundedTo(desktop), huge.height() < 1500 ? 3 : 5));
            stage.repaint();
        }
        if (before >= 0)
            QCOMPARE_LT(PeakMemoryKiB() - before, 100 * 1024);
    }

    // Each screen at 2x and 3x against the same screen at 1x: outside the texts every pixel is the
    // 1x pixel it enlarges; every text stands where its 1x ink, enlarged, stands, drawn anew from
    // the font rather than enlarged. A larger window shows the same picture centred on green. F11
    // fills the screen and gives the window back, with the scale that fits each size, centred; the
    // screen never takes it as a key (on the end screen any key would leave it).
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
        QWidget* const shown = QList<QWidget*>{screens.start, screens.race, screens.end}[screen];

        const QImage small = Shot(game, STAGE);
        const auto texts = TextBoxes(game);
        const QImage large = Shot(game, STAGE * scale);
        // Text pixels differ from the enlarged ones somewhere: drawn anew, not enlarged (and there
        // are texts).
        int differing = 0, redrawn = 0;
        for (int y = 0; y < large.height(); ++y)
            for (int x = 0; x < large.width(); ++x) {
                const QPoint p(x / scale, y / scale);
                const bool inText = std::any_of(texts.begin(), texts.end(),
                                                [&](auto& text) { return text.first.contains(p); });
                (inText ? redrawn : differing) += large.pixel(x, y) != small.pixel(p);
            }
        QCOMPARE(differing, 0);
        QVERIFY(redrawn > 0);
        for (const auto& [box, colour] : texts) {
            const auto ink = [&box = box, near = Near(colour, 60)](const QImage& shot, int k) {
                return QRectF(
                    Find(shot.copy(QRect(box.topLeft() * k, box.size() * k)), near).first);
            };
            const QRectF inkAt1x = ink(small, 1);
            const QPointF shift = ink(large, scale).center() / scale - inkAt1x.center();
            // Within two game pixels: small glyphs are fitted to whole pixels, large ones less so.
            QVERIFY2(
                !inkAt1x.isEmpty() && std::max(qAbs(shift.x()), qAbs(shift.y())) <= 2,
                qPrintable(Line("text in", box, "drawn at 1x in", inkAt1x, "moved by", shift)));
        }

        const QSize roomy = STAGE * scale + QSize(2 * scale + 11, 4 * scale + 7);
        QImage centred(roomy, QImage::Format_RGB32);
        centred.fill(Canvas::BACKGROUND);
        QPainter(&centred).drawImage((roomy.width() - large.width()) / 2,
                                     (roomy.height() - large.height()) / 2, large);
        QCOMPARE(Shot(game, roomy), centred);

        // The large screen the game is on fits the stage 5 times.
        for (const QSize size : {LARGE_SCREEN.size(), roomy}) {
            QTest::keyClick(&game, Qt::Key_F11);
            QTRY_COMPARE(game.size(), size);
            const int k = size == roomy ? scale : 5;
            const QSize margins = size - STAGE * k;
            QCOMPARE(
                Line(size, ScaledStage::ScaleOf(shown), shown->geometry(), shown->isVisible()),
                Line(size, k, QRect(QPoint(margins.width() / 2, margins.height() / 2), STAGE * k),
                     true));
        }
    }
};

int main(int argc, char* argv[]) {
    QStringList screens;
    for (const auto& [name, area] : {std::pair("large", LARGE_SCREEN), {"small", SMALL_SCREEN}})
        screens << QString::asprintf(
            R"({"name": "%s", "x": %d, "y": %d, "width": %d, "height": %d, )"
            R"("logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})",
            name, area.x(), area.y(), area.width(), area.height());
    QTemporaryFile file;
    const QByteArray desktop = R"({"screens": [)" + screens.join(", ").toUtf8() + "]}";
    if (!file.open() || file.write(desktop) < 0 || !file.flush())
        qFatal("The test's screens could not be written");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));
    QApplication application(argc, argv);
    WindowScaleTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window_scale.moc"
