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

}  // namespace

class TrackPreviewsTest : public QObject {
    Q_OBJECT

  private slots:
    void eachMissingOrBrokenFileIsReportedByItsNumber() {
        VantorImages images;
        vantorImages = &images;
        QTemporaryDir folder;
        const QString dir = folder.path() + "/";
        Canvas canvas;
        QWidget mainWidget;
        const QImage notAvailable = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
        QVERIFY(QDir(dir).mkpath("track_pics"));
        // Odd files go missing, even ones are cut off after their header: both count as missing.
        // None broken, the first, the next two, the last two that are told and the two that are
        // not.
        for (const int broken : {0, 1, 2, 3, 12, 13, 14, 15}) {
            for (int n = 1; n <= 15; ++n) {
                const QString path = dir + QString("track_pics/TrackPix%1.png").arg(n);
                // Its size tells the file.
                QVERIFY(notAvailable.copy(0, 0, 100 + n, 50 + n).save(path, "PNG"));
                QVERIFY(n != broken || (n % 2 ? QFile::remove(path) : QFile::resize(path, 30)));
            }
            MessageBoxWatcher boxes;
            TrackPreviews previews(&canvas, &mainWidget, dir);
            previews.Load();
            QCOMPARE(Shown(boxes, mainWidget),
                     broken >= 1 && broken <= 13 ? QStringList{Box(broken, dir)} : QStringList());
            QCOMPARE(canvas.items().size(), 15);
            for (int track = 0; track < 15; ++track) {
                const ImageItem* item = previews.Item(track);
                QVERIFY(item != nullptr);
                QCOMPARE(item->Image().size(), track == broken - 1
                                                   ? notAvailable.size()
                                                   : QSize(101 + track, 51 + track));
            }
            QCOMPARE(previews.Item(-1), nullptr);
            QCOMPARE(previews.Item(15), nullptr);
        }
        // Each round above starts from the fifteen items of its own previews, so the previews
        // take their items with them; loading again replaces them rather than adding more.
        MessageBoxWatcher boxes;
        TrackPreviews previews(&canvas, &mainWidget, dir + "nowhere/");
        previews.Load();
        previews.Load();
        QCOMPARE(canvas.items().size(), 15);
        QStringList expected;
        for (int n = 1; n <= 13; ++n) expected << Box(n, dir + "nowhere/");
        QCOMPARE(Shown(boxes, mainWidget), expected + expected);
    }
};

QTEST_MAIN(TrackPreviewsTest)
#include "tst_track_previews.moc"
