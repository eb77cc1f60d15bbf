#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/Globals.h"
#include "app/TrackPreviews.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/NodeState.h"
#include "tests/support/PeakMemory.h"

namespace {

// Each box as caption|text|buttons, marked with ! when not over the main widget.
QStringList Shown(const MessageBoxWatcher& boxes, const QWidget& parent) {
    QStringList shown;
    for (const ShownWarning& box : boxes.Warnings()) {
        shown << box.caption + '|' + box.text + '|' + box.buttons.join(',') +
                     (box.parent == &parent ? "" : "!");
    }
    return shown;
}

// The box for file TrackPixN.png missing from dir: the first one offers only to quit.
QString Box(int fileNumber, const QString& dir) {
    return fileNumber == 1
               ? "Vantor|Could not load Track Images from " + dir + "|Quit"
               : QString("Vantor|Could not load Track Image TrackPix%1.png|OK").arg(fileNumber);
}

// While it lives, frees anyone stuck opening a FIFO for reading once `patience` has passed, by
// opening its writing end again and again: a game that opens it in a way that blocks then shows as
// slow rather than hanging the test.
class FifoRescuer {
  public:
    FifoRescuer(const QString& fifo, std::chrono::milliseconds patience)
        : rescuer([this, name = QFile::encodeName(fifo), patience] {
              std::unique_lock<std::mutex> lock(mutex);
              if (finished.wait_for(lock, patience, [this] { return done; }))
                  return;
              while (!finished.wait_for(lock, std::chrono::milliseconds(20),
                                        [this] { return done; })) {
                  const int writer = open(name.constData(), O_WRONLY | O_NONBLOCK);
                  if (writer >= 0)
                      close(writer);
              }
          }) {}
    ~FifoRescuer() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        finished.notify_all();
        rescuer.join();
    }

  private:
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread rescuer;
};

}  // namespace

class TrackPreviewsTest : public QObject {
    Q_OBJECT

    VantorImages images;
    const QImage notAvailable = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
    Canvas canvas;
    QWidget mainWidget;

    // A folder of fifteen previews, each a plain picture whose size tells the file.
    struct Folder : QTemporaryDir {
        Folder() {
            QDir(path()).mkpath("track_pics");
            for (int n = 1; n <= 15; ++n) Put(n, Picture(n));
        }
        QString Dir() const { return path() + '/'; }
        QString File(int n) const { return path() + QString("/track_pics/TrackPix%1.png").arg(n); }
        static QSize Picture(int n) { return QSize(100 + n, 50 + n); }
        bool Put(int n, QSize size) const {
            QFile::remove(File(n));
            QImage picture(size, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(n * 20, 160, 200));
            return picture.save(File(n), "PNG");
        }
    };

  private slots:
    void initTestCase() { vantorImages = &images; }

    void eachMissingOrBrokenFileIsReportedByItsNumber() {
        const Folder folder;
        // Odd files go missing, even ones are cut off inside their header: both count as missing.
        // None broken, the first, the next two, the last two that are told and the two that are
        // not.
        for (const int broken : {0, 1, 2, 3, 12, 13, 14, 15}) {
            for (int n = 1; n <= 15; ++n) QVERIFY(folder.Put(n, Folder::Picture(n)));
            if (broken > 0)
                QVERIFY(broken % 2 ? QFile::remove(folder.File(broken))
                                   : QFile::resize(folder.File(broken), 30));
            MessageBoxWatcher boxes;
            TrackPreviews previews(&canvas, &mainWidget, folder.Dir());
            // The first file's box offers only to quit, and nothing more is looked at.
            QCOMPARE(previews.Load(), broken != 1);
            QCOMPARE(Shown(boxes, mainWidget), broken >= 1 && broken <= 13
                                                   ? QStringList{Box(broken, folder.Dir())}
                                                   : QStringList());
            // Nothing is decoded, and no item made, before a preview is asked for.
            QCOMPARE(canvas.items().size(), 0);
            for (int track = 0; track < 15; ++track) {
                const ImageItem* item = previews.Item(track);
                QVERIFY(item != nullptr);
                QCOMPARE(item->Image().size(), track == broken - 1 || broken == 1
                                                   ? notAvailable.size()
                                                   : Folder::Picture(track + 1));
                QCOMPARE(item->pos(), QPointF(0, 0));
                QCOMPARE(item->zValue(), 0.0);
                QVERIFY(!item->isVisible());
            }
            QCOMPARE(canvas.items().size(), 15);
            QCOMPARE(previews.Item(-1), nullptr);
            QCOMPARE(previews.Item(15), nullptr);
        }
        // Each round above starts without items: the previews take their items with them.
        // Loading again replaces them rather than adding more; without the folder, the first box
        // is the only one.
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, folder.Dir() + "nowhere/");
        QCOMPARE(previews.Item(0), nullptr);
        QVERIFY(!previews.Load());
        previews.Item(3);
        QVERIFY(!previews.Load());
        previews.Item(3);
        QCOMPARE(canvas.items().size(), 1);
        QCOMPARE(Shown(boxes, mainWidget), QStringList({Box(1, folder.Dir() + "nowhere/"),
                                                        Box(1, folder.Dir() + "nowhere/")}));
    }

    // Whatever stands in place of a preview, start-up neither hangs nor takes more than a moment,
    // nothing large is decoded, and nothing is changed: what cannot be a preview is told as a
    // missing one.
    void hostileFilesNeitherHangNorSwell() {
        const Folder folder;
        QVERIFY(QFile::remove(folder.File(2)) && QFile::remove(folder.File(14)));
        QCOMPARE(mkfifo(QFile::encodeName(folder.File(2)).constData(), 0666), 0);
        QImage large(4000, 3000, QImage::Format_RGB32);
        large.fill(Qt::darkGreen);
        QVERIFY(large.save(folder.File(3), "PNG"));
        large = QImage();
        QVERIFY(QFile::remove(folder.File(4)) && QFile::link("/dev/zero", folder.File(4)));
        QVERIFY(QFile::remove(folder.File(5)) && QDir().mkdir(folder.File(5)));
        // The largest picture that can be a preview, and one pixel more either way.
        QVERIFY(folder.Put(6, QSize(240, 300)));
        QVERIFY(folder.Put(7, QSize(241, 300)));
        QVERIFY(folder.Put(8, QSize(240, 301)));
        QFile(folder.File(9)).open(QIODevice::WriteOnly);  // empty
        // A FIFO among the previews that are not told.
        QCOMPARE(mkfifo(QFile::encodeName(folder.File(14)).constData(), 0666), 0);
        const QString fifoBefore = NodeState(folder.File(2));

        MessageBoxWatcher boxes;
        const bool measured = ResetPeakMemory();
        const long before = PeakMemoryKiB();
        QElapsedTimer took;
        took.start();
        TrackPreviews previews(&canvas, &mainWidget, folder.Dir());
        {
            const FifoRescuer rescuer2(folder.File(2), std::chrono::seconds(5));
            const FifoRescuer rescuer14(folder.File(14), std::chrono::seconds(5));
            QVERIFY(previews.Load());
            for (int track = 0; track < 15; ++track) previews.Item(track);
        }
        QVERIFY2(took.elapsed() < 4000, qPrintable(QString("took %1 ms").arg(took.elapsed())));
        // A 4000 x 3000 picture decoded takes 47 MiB.
        if (measured)
            QVERIFY2(PeakMemoryKiB() - before < 16 * 1024,
                     qPrintable(QString("peak grew by %1 KiB").arg(PeakMemoryKiB() - before)));

        QStringList expected;
        for (const int n : {2, 3, 4, 5, 7, 8, 9}) expected << Box(n, folder.Dir());
        QCOMPARE(Shown(boxes, mainWidget), expected);
        for (int track = 0; track < 15; ++track) {
            const int n = track + 1;
            const QSize shown = previews.Item(track)->Image().size();
            const QSize expectedSize = n == 6                          ? QSize(240, 300)
                                       : (n >= 2 && n <= 9) || n == 14 ? notAvailable.size()
                                                                       : Folder::Picture(n);
            QCOMPARE(QString("TrackPix%1.png: %2x%3").arg(n).arg(shown.width()).arg(shown.height()),
                     QString("TrackPix%1.png: %2x%3")
                         .arg(n)
                         .arg(expectedSize.width())
                         .arg(expectedSize.height()));
        }
        QCOMPARE(NodeState(folder.File(2)), fifoBefore);
    }

    // A preview is decoded when first shown, once: a file changed after start-up shows as it is
    // then, and a file that can no longer be decoded shows the built-in picture without a box.
    void previewsAreDecodedWhenFirstShown() {
        const Folder folder;
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, folder.Dir());
        QVERIFY(previews.Load());
        QVERIFY(folder.Put(9, QSize(200, 120)));
        QFile cut(folder.File(10));
        QVERIFY(cut.open(QIODevice::ReadWrite) && cut.resize(60));
        cut.close();

        ImageItem* changed = previews.Item(8);
        QCOMPARE(changed->Image().size(), QSize(200, 120));
        QCOMPARE(previews.Item(9)->Image().size(), notAvailable.size());
        QVERIFY(folder.Put(9, QSize(50, 50)));
        QCOMPARE(previews.Item(8), changed);
        QCOMPARE(changed->Image().size(), QSize(200, 120));
        QCOMPARE(boxes.Warnings().size(), 0);
    }
};

QTEST_MAIN(TrackPreviewsTest)
#include "tst_track_previews.moc"
