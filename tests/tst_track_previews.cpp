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

class TrackPreviewsTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void allPresent();
    void eachMissingFileReportedByItsNumber();
    void unreadableFilesCountAsMissing();
    void allMissingLoadedTwice();

  private:
    QString PreviewPath(int fileNumber) const {
        return pictureDir + QString("track_pics/TrackPix%1.png").arg(fileNumber);
    }
    // Every file has a size of its own, so an item tells which file it came from.
    static QSize PreviewSize(int fileNumber) { return QSize(100 + fileNumber, 50 + fileNumber); }
    void WriteAllPreviews();
    void WriteBytes(int fileNumber, const QByteArray& bytes);
    bool IsNotAvailable(const ImageItem* item) const {
        return item != nullptr && item->Image() == notAvailable;
    }

    VantorImages images;
    const QImage notAvailable = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
    QTemporaryDir folder;
    QString pictureDir = folder.path() + "/";
    Canvas canvas;
    QWidget mainWidget;
};

void TrackPreviewsTest::init() {
    vantorImages = &images;
    WriteAllPreviews();
}

void TrackPreviewsTest::WriteAllPreviews() {
    QVERIFY(QDir(pictureDir + "track_pics").removeRecursively());
    QVERIFY(QDir(pictureDir).mkpath("track_pics"));
    for (int n = 1; n <= 15; ++n) {
        QImage picture(PreviewSize(n), QImage::Format_RGB32);
        picture.fill(QColor(0, 10 * n, 0));
        QVERIFY(picture.save(PreviewPath(n), "PNG"));
    }
}

void TrackPreviewsTest::WriteBytes(int fileNumber, const QByteArray& bytes) {
    QFile file(PreviewPath(fileNumber));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TrackPreviewsTest::allPresent() {
    MessageBoxWatcher boxes;
    TrackPreviews previews(&canvas, &mainWidget, pictureDir);
    QVERIFY(previews.Item(0) == nullptr);
    previews.Load();
    QCOMPARE(boxes.Warnings().size(), 0);
    QCOMPARE(canvas.items().size(), 15);
    for (int track = 0; track < 15; ++track) {
        const ImageItem* item = previews.Item(track);
        QVERIFY(item != nullptr);
        QCOMPARE(item->scene(), &canvas);
        QCOMPARE(item->Image().size(), PreviewSize(track + 1));
        QCOMPARE(item->pos(), QPointF(0, 0));
        QCOMPARE(item->zValue(), 0.0);
        QVERIFY(!item->isVisible());
    }
    QVERIFY(previews.Item(-1) == nullptr);
    QVERIFY(previews.Item(15) == nullptr);
}

void TrackPreviewsTest::eachMissingFileReportedByItsNumber() {
    for (int missing = 1; missing <= 15; ++missing) {
        WriteAllPreviews();
        QVERIFY(QFile::remove(PreviewPath(missing)));
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, pictureDir);
        previews.Load();

        const QString label = QString("TrackPix%1 missing").arg(missing);
        if (missing == 1) {
            // The first file missing names the directory, not the file.
            QCOMPARE(boxes.Warnings().size(), 1);
            QCOMPARE(boxes.Warnings().first().text,
                     "Could not load Track Images from " + pictureDir);
            QCOMPARE(boxes.Warnings().first().buttons, QStringList{"Quit"});
        } else if (missing <= 13) {
            QCOMPARE(boxes.Warnings().size(), 1);
            QCOMPARE(boxes.Warnings().first().text,
                     QString("Could not load Track Image TrackPix%1.png").arg(missing));
            QCOMPARE(boxes.Warnings().first().buttons, QStringList{"OK"});
        } else {
            QVERIFY2(boxes.Warnings().isEmpty(), qPrintable(label));
        }
        for (const ShownWarning& box : boxes.Warnings()) {
            QCOMPARE(box.caption, QString("Vantor"));
            QCOMPARE(box.parent, &mainWidget);
        }
        // The stand-in takes the missing file's place and no other.
        for (int track = 0; track < 15; ++track) {
            QVERIFY2(IsNotAvailable(previews.Item(track)) == (track == missing - 1),
                     qPrintable(label));
        }
    }
}

void TrackPreviewsTest::unreadableFilesCountAsMissing() {
    QFile whole(PreviewPath(7));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray header = whole.read(40);
    whole.close();
    WriteBytes(3, "this is not a picture\n");
    WriteBytes(7, header);  // cut off after its header
    WriteBytes(9, QByteArray());
    QVERIFY(QFile::remove(PreviewPath(10)));
    QVERIFY(QDir(pictureDir).mkpath("track_pics/TrackPix10.png"));  // a folder in its place

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
    for (int track = 0; track < 15; ++track) {
        const bool unreadable = track == 2 || track == 6 || track == 8 || track == 9;
        QCOMPARE(IsNotAvailable(previews.Item(track)), unreadable);
    }
}

void TrackPreviewsTest::allMissingLoadedTwice() {
    const QString nowhere = pictureDir + "nowhere/";
    {
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, nowhere);
        previews.Load();
        // Thirteen boxes, the first offering to quit.
        QCOMPARE(boxes.Warnings().size(), 13);
        QCOMPARE(boxes.Warnings().first().text, "Could not load Track Images from " + nowhere);
        for (int i = 1; i < 13; ++i) {
            QCOMPARE(boxes.Warnings().at(i).buttons, QStringList{"OK"});
            QCOMPARE(boxes.Warnings().at(i).text,
                     QString("Could not load Track Image TrackPix%1.png").arg(i + 1));
        }
        for (int track = 0; track < 15; ++track) {
            QVERIFY(IsNotAvailable(previews.Item(track)));
        }
        // Loading again replaces the items rather than adding fifteen more.
        previews.Load();
        QCOMPARE(canvas.items().size(), 15);
    }
    // The previews take their items with them.
    QCOMPARE(canvas.items().size(), 0);
}

QTEST_MAIN(TrackPreviewsTest)
#include "tst_track_previews.moc"
