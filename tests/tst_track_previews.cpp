#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Globals.h"
#include "app/TrackPreviews.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "tests/support/MessageBoxWatcher.h"

namespace {

// Every preview file gets a size of its own, so an item tells which file it came from.
QSize PreviewSize(int fileNumber) {
    return QSize(100 + fileNumber, 50 + fileNumber);
}

QString PreviewPath(const QString& pictureDir, int fileNumber) {
    return pictureDir + QString("track_pics/TrackPix%1.png").arg(fileNumber);
}

}  // namespace

class TrackPreviewsTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void allPresent();
    void firstMissingAsksToQuit();
    void middleFilesMissingAreEachReported();
    void lastTwoMissingAreReplacedSilently();
    void unreadableFilesCountAsMissing();
    void allMissing();
    void loadingAgainReplacesTheItems();

  private:
    // A pictures directory with all fifteen previews.
    void WriteAllPreviews();
    void Remove(int fileNumber) { QVERIFY(QFile::remove(PreviewPath(pictureDir, fileNumber))); }
    bool IsNotAvailable(const ImageItem* item) const {
        return item != nullptr && item->Image() == notAvailable;
    }

    VantorImages images;
    QImage notAvailable;
    std::unique_ptr<QTemporaryDir> folder;
    QString pictureDir;
    Canvas canvas;
    QWidget mainWidget;
};

void TrackPreviewsTest::init() {
    vantorImages = &images;
    notAvailable = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    pictureDir = folder->path() + "/";
    WriteAllPreviews();
}

void TrackPreviewsTest::cleanup() {
    folder.reset();
    vantorImages = nullptr;
}

void TrackPreviewsTest::WriteAllPreviews() {
    QVERIFY(QDir(pictureDir).mkpath("track_pics"));
    for (int n = 1; n <= 15; ++n) {
        QImage picture(PreviewSize(n), QImage::Format_RGB32);
        picture.fill(QColor(0, 10 * n, 0));
        QVERIFY(picture.save(PreviewPath(pictureDir, n), "PNG"));
    }
}

void TrackPreviewsTest::allPresent() {
    MessageBoxWatcher boxes;
    TrackPreviews previews(&canvas, &mainWidget, pictureDir);
    previews.Load();
    QCOMPARE(boxes.Warnings().size(), 0);
    QCOMPARE(canvas.items().size(), 15);
    for (int track = 0; track < 15; ++track) {
        const ImageItem* item = previews.Item(track);
        QVERIFY(item != nullptr);
        QCOMPARE(item->scene(), &canvas);
        QCOMPARE(item->Image().size(), PreviewSize(track + 1));
        QCOMPARE(item->Image().pixelColor(0, 0), QColor(0, 10 * (track + 1), 0));
        QCOMPARE(item->pos(), QPointF(0, 0));
        QCOMPARE(item->zValue(), 0.0);
        QVERIFY(!item->isVisible());
    }
    QVERIFY(previews.Item(-1) == nullptr);
    QVERIFY(previews.Item(15) == nullptr);
    QVERIFY(previews.Item(1000) == nullptr);
}

void TrackPreviewsTest::firstMissingAsksToQuit() {
    Remove(1);
    MessageBoxWatcher boxes;
    TrackPreviews previews(&canvas, &mainWidget, pictureDir);
    previews.Load();
    QCOMPARE(boxes.Warnings().size(), 1);
    const ShownWarning& box = boxes.Warnings().first();
    QCOMPARE(box.parent, &mainWidget);
    QCOMPARE(box.caption, QString("Vantor"));
    // The directory is named, not the file.
    QCOMPARE(box.text, "Could not load Track Images from " + pictureDir);
    QCOMPARE(box.buttons, QStringList{"Quit"});

    QVERIFY(IsNotAvailable(previews.Item(0)));
    QCOMPARE(previews.Item(0)->pos(), QPointF(0, 0));
    QVERIFY(!previews.Item(0)->isVisible());
    QCOMPARE(previews.Item(1)->Image().size(), PreviewSize(2));
}

void TrackPreviewsTest::middleFilesMissingAreEachReported() {
    for (int missing = 2; missing <= 13; ++missing) {
        WriteAllPreviews();
        Remove(missing);
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, pictureDir);
        previews.Load();
        QCOMPARE(boxes.Warnings().size(), 1);
        const ShownWarning& box = boxes.Warnings().first();
        QCOMPARE(box.caption, QString("Vantor"));
        QCOMPARE(box.text, QString("Could not load Track Image TrackPix%1.png").arg(missing));
        QCOMPARE(box.buttons, QStringList{"OK"});
        for (int track = 0; track < 15; ++track) {
            const bool replaced = IsNotAvailable(previews.Item(track));
            QCOMPARE(replaced, track == missing - 1);
        }
    }
}

void TrackPreviewsTest::lastTwoMissingAreReplacedSilently() {
    for (const int missing : {14, 15}) {
        WriteAllPreviews();
        Remove(missing);
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, pictureDir);
        previews.Load();
        QCOMPARE(boxes.Warnings().size(), 0);
        QVERIFY(IsNotAvailable(previews.Item(missing - 1)));
        QCOMPARE(previews.Item(missing == 14 ? 14 : 13)->Image().size(),
                 PreviewSize(missing == 14 ? 15 : 14));
    }
}

void TrackPreviewsTest::unreadableFilesCountAsMissing() {
    // Text where a picture should be, and a picture cut off after its header.
    QFile garbage(PreviewPath(pictureDir, 3));
    QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("this is not a picture\n");
    garbage.close();
    QFile whole(PreviewPath(pictureDir, 7));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray header = whole.read(40);
    whole.close();
    QFile cut(PreviewPath(pictureDir, 7));
    QVERIFY(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cut.write(header);
    cut.close();
    // An empty file, and a folder where a file should be.
    QFile empty(PreviewPath(pictureDir, 9));
    QVERIFY(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
    empty.close();
    Remove(10);
    QVERIFY(QDir(pictureDir).mkpath("track_pics/TrackPix10.png"));

    MessageBoxWatcher boxes;
    TrackPreviews previews(&canvas, &mainWidget, pictureDir);
    previews.Load();
    QStringList texts;
    for (const ShownWarning& box : boxes.Warnings()) {
        texts.append(box.text);
    }
    QCOMPARE(texts, (QStringList{"Could not load Track Image TrackPix3.png",
                                 "Could not load Track Image TrackPix7.png",
                                 "Could not load Track Image TrackPix9.png",
                                 "Could not load Track Image TrackPix10.png"}));
    for (const int track : {2, 6, 8, 9}) {
        QVERIFY2(IsNotAvailable(previews.Item(track)), qPrintable(QString::number(track)));
    }
    QCOMPARE(previews.Item(3)->Image().size(), PreviewSize(4));
}

void TrackPreviewsTest::allMissing() {
    MessageBoxWatcher boxes;
    TrackPreviews previews(&canvas, &mainWidget, pictureDir + "nowhere/");
    previews.Load();
    QCOMPARE(boxes.Warnings().size(), 13);
    QCOMPARE(boxes.Warnings().first().buttons, QStringList{"Quit"});
    QCOMPARE(boxes.Warnings().first().text,
             "Could not load Track Images from " + pictureDir + "nowhere/");
    for (int i = 1; i < 13; ++i) {
        QCOMPARE(boxes.Warnings().at(i).buttons, QStringList{"OK"});
        QCOMPARE(boxes.Warnings().at(i).text,
                 QString("Could not load Track Image TrackPix%1.png").arg(i + 1));
    }
    for (int track = 0; track < 15; ++track) {
        QVERIFY(IsNotAvailable(previews.Item(track)));
    }
    // Fifteen items all the same, yet each one its own.
    QVERIFY(previews.Item(0) != previews.Item(14));
}

void TrackPreviewsTest::loadingAgainReplacesTheItems() {
    {
        TrackPreviews previews(&canvas, &mainWidget, pictureDir);
        QVERIFY(previews.Item(0) == nullptr);
        previews.Load();
        previews.Load();
        QCOMPARE(canvas.items().size(), 15);
    }
    // The previews take their items with them.
    QCOMPARE(canvas.items().size(), 0);
}

QTEST_MAIN(TrackPreviewsTest)
#include "tst_track_previews.moc"
