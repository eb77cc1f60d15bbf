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

// Each box as caption|text|buttons, marked with ! when not over the main widget.
QStringList Shown(const MessageBoxWatcher& boxes, const QWidget& parent) {
    QStringList shown;
    for (const ShownWarning& box : boxes.Warnings()) {
        const bool onParent = box.parent == &parent;
        shown << box.caption + '|' + box.text + '|' + box.buttons.join(',') + (onParent ? "" : "!");
    }
    return shown;
}

// The box for file TrackPixN.png missing from dir: the first one offers only to quit.
QString Box(int fileNumber, const QString& dir) {
    return fileNumber == 1
               ? "Vantor|Could not load Track Images from " + dir + "|Quit"
               : QString("Vantor|Could not load Track Image TrackPix%1.png|OK").arg(fileNumber);
}

}  // namespace

class TrackPreviewsTest : public QObject {
    Q_OBJECT

  private slots:
    void eachMissingOrBrokenFileIsReportedByItsNumber();

  private:
    VantorImages images;
    const QImage notAvailable = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
    QTemporaryDir folder;
    const QString pictureDir = folder.path() + "/";
    Canvas canvas;
    QWidget mainWidget;
};

void TrackPreviewsTest::eachMissingOrBrokenFileIsReportedByItsNumber() {
    vantorImages = &images;
    // Odd files go missing, even ones are cut short: both count as missing. 0 breaks none.
    for (int broken = 0; broken <= 15; ++broken) {
        QVERIFY(QDir(pictureDir).mkpath("track_pics"));
        for (int n = 1; n <= 15; ++n) {
            const QString path = pictureDir + QString("track_pics/TrackPix%1.png").arg(n);
            QImage picture(100 + n, 50 + n, QImage::Format_RGB32);  // its size tells the file
            picture.fill(Qt::darkGreen);
            QVERIFY(picture.save(path, "PNG"));
            // A file cut off after its header is as good as none.
            QVERIFY(n != broken || (n % 2 == 1 ? QFile::remove(path) : QFile::resize(path, 30)));
        }
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, pictureDir);
        previews.Load();
        const bool reported = broken >= 1 && broken <= 13;
        QCOMPARE(Shown(boxes, mainWidget),
                 reported ? QStringList{Box(broken, pictureDir)} : QStringList());
        QCOMPARE(canvas.items().size(), 15);
        for (int track = 0; track < 15; ++track) {
            const ImageItem* item = previews.Item(track);
            QVERIFY(item != nullptr && !item->isVisible());
            const bool standIn = track == broken - 1;
            QCOMPARE(item->Image() == notAvailable, standIn);
            QVERIFY(standIn || item->Image().size() == QSize(101 + track, 51 + track));
        }
        QVERIFY(previews.Item(-1) == nullptr && previews.Item(15) == nullptr);
    }

    const QString nowhere = pictureDir + "nowhere/";
    MessageBoxWatcher boxes;
    auto previews = std::make_unique<TrackPreviews>(&canvas, &mainWidget, nowhere);
    previews->Load();
    QStringList expected;
    for (int n = 1; n <= 13; ++n) {
        expected << Box(n, nowhere);
    }
    QCOMPARE(Shown(boxes, mainWidget), expected);
    // Loading again replaces the items rather than adding fifteen more.
    previews->Load();
    QCOMPARE(canvas.items().size(), 15);
    previews.reset();
    // The previews take their items with them.
    QCOMPARE(canvas.items().size(), 0);
}

QTEST_MAIN(TrackPreviewsTest)
#include "tst_track_previews.moc"
