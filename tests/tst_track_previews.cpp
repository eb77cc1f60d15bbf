// The track previews: each file that cannot be one is told by its number, none hangs or swells
// start-up, and each picture is decoded when first shown.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "app/Globals.h"
#include "app/TrackPreviews.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/NodeState.h"
#include "tests/support/PeakMemory.h"

namespace {

// While it lives, opens the FIFOs' writing ends again and again once `patience` has passed, which
// frees a game stuck opening one for reading: it then shows as slow rather than hanging the test.
struct FifoRescuer {
    FifoRescuer(const QStringList& fifos, std::chrono::seconds patience)
        : rescuer([this, fifos, until = std::chrono::steady_clock::now() + patience] {
              for (; !done; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
                  for (const QString& fifo : fifos)
                      if (std::chrono::steady_clock::now() > until)
                          close(open(QFile::encodeName(fifo), O_WRONLY | O_NONBLOCK));
          }) {}
    ~FifoRescuer() {
        done = true;
        rescuer.join();
    }
    std::atomic<bool> done{false};
    std::thread rescuer;
};

}  // namespace

class TrackPreviewsTest : public QObject {
    Q_OBJECT

    VantorImages images;
    const QSize notAvailable = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE).size();
    Canvas canvas;
    QWidget mainWidget;

  private slots:
    void initTestCase() { vantorImages = &images; }

    // Whatever stands in place of a preview, start-up neither hangs nor takes more than a moment,
    // nothing large is decoded, and nothing is changed: what cannot be a preview is told as a
    // missing one, up to the thirteenth. Each picture is decoded when first asked for, once: a
    // file changed after start-up shows as it is then, and one that can no longer be decoded
    // shows the built-in picture without a box.
    void eachBrokenPreviewIsToldAndNoneHangs() {
        const QTemporaryDir folder;
        const auto file = [&](int n) {
            return folder.filePath(QString("track_pics/TrackPix%1.png").arg(n));
        };
        // A plain picture in a colour of its own.
        const auto put = [&](int n, QSize size) {
            QImage picture(size, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(n * 20, 160, 200));
            return picture.save(file(n), "PNG");
        };
        const auto fifo = [&](int n) {
            return QFile::remove(file(n)) && mkfifo(QFile::encodeName(file(n)), 0666) == 0;
        };
        QVERIFY(QDir(folder.path()).mkdir("track_pics"));
        for (int n = 1; n <= 15; ++n) QVERIFY(put(n, QSize(100 + n, 50 + n)));
        QVERIFY(fifo(2) && put(3, {4000, 3000}) && QFile::remove(file(4)) &&
                QFile::link("/dev/zero", file(4)) && QFile::remove(file(5)) &&
                QDir().mkdir(file(5)));
        // The largest picture that can be a preview, and one pixel more either way.
        QVERIFY(put(6, {240, 300}) && put(7, {241, 300}) && put(8, {240, 301}));
        // Empty, cut off inside its header, and missing: the last one told, and two that are not.
        QVERIFY(QFile::resize(file(9), 0) && QFile::resize(file(10), 30) &&
                QFile::remove(file(13)) && fifo(14) && QFile::remove(file(15)));
        const QString fifoBefore = NodeState(file(2));

        MessageBoxWatcher boxes;
        const long before = PeakMemoryKiB(true);
        QElapsedTimer took;
        took.start();
        std::optional<TrackPreviews> previews(std::in_place, &canvas, &mainWidget,
                                              folder.path() + '/');
        {
            const FifoRescuer rescuer({file(2), file(14)}, std::chrono::seconds(5));
            QVERIFY(previews->Load());
            QCOMPARE(canvas.items().size(), 0);  // nothing decoded before it is asked for
            // Changed after start-up: one to another picture, one so that it no longer decodes.
            QVERIFY(put(11, {200, 120}) && QFile::resize(file(12), 60));
            for (int track = 0; track < 15; ++track) previews->Item(track);
        }
        QCOMPARE_LT(took.elapsed(), 4000);
        // A 4000 x 3000 picture decoded takes 47 MiB; the boxes take some 6 MiB, 17 under
        // AddressSanitizer.
        if (before >= 0)
            QCOMPARE_LT(PeakMemoryKiB() - before, 32 * 1024);
        QVERIFY(put(11, {50, 50}));  // too late: it was decoded once, when first asked for
        // Each item hidden at the canvas's corner, its own size telling the file it shows.
        const QMap<int, QSize> pictures = {{1, {101, 51}}, {6, {240, 300}}, {11, {200, 120}}};
        QStringList shown, expected;
        for (int n = 1; n <= 15; ++n) {
            const ImageItem* item = previews->Item(n - 1);
            const QSize size = pictures.value(n, notAvailable);
            expected << QString::asprintf("%d: %dx%d at 0,0 z 0 hidden", n, size.width(),
                                          size.height());
            shown << (item ? QString::asprintf("%d: %dx%d at %g,%g z %g %s", n,
                                               item->Image().width(), item->Image().height(),
                                               item->x(), item->y(), item->zValue(),
                                               item->isVisible() ? "shown" : "hidden")
                           : "none");
        }
        QCOMPARE(shown, expected);
        QCOMPARE(canvas.items().size(), 15);
        QCOMPARE(previews->Item(-1), nullptr);
        QCOMPARE(previews->Item(15), nullptr);
        QCOMPARE(NodeState(file(2)), fifoBefore);

        // Without the folder the first box, which offers only to quit, is the only one. The
        // previews before took their items with them, and loading again replaces the items rather
        // than adding more.
        const QString nowhere = folder.path() + "/nowhere/";
        previews.emplace(&canvas, &mainWidget, nowhere);
        QCOMPARE(previews->Item(0), nullptr);
        QVERIFY(!previews->Load());
        previews->Item(3);
        QVERIFY(!previews->Load());
        previews->Item(3);
        QCOMPARE(canvas.items().size(), 1);
        QStringList told;
        for (int n : {2, 3, 4, 5, 7, 8, 9, 10, 13})
            told << QString("Vantor|Could not load Track Image TrackPix%1.png|OK").arg(n);
        const QString quit = "Vantor|Could not load Track Images from " + nowhere + "|Quit";
        // Each box as caption|text|buttons, marked with ! when not over the main widget.
        QStringList boxesShown;
        for (const ShownWarning& box : boxes.Warnings())
            boxesShown << box.caption + '|' + box.text + '|' + box.buttons.join(',') +
                              (box.parent == &mainWidget ? "" : "!");
        QCOMPARE(boxesShown, told << quit << quit);
    }
};

QTEST_MAIN(TrackPreviewsTest)
#include "tst_track_previews.moc"
