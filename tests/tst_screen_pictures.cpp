#include <QtTest>

#include "app/Vantor.h"
#include "graphics/ApplicationIcon.h"
#include "graphics/VantorImages.h"
#include "tests/support/CompareCase.h"
#include "tests/support/Pixels.h"

class ScreenPicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void sizesTransparencyAndNamedColours() {
        const VantorImages images;
        const QSize sizes[] = {{180, 115}, {225, 292}, {225, 292}, {240, 160}};
        const QImage logo = images.GetImage(VantorImages::START_LOGO);
        for (int value = -1; value <= 4; ++value) {
            const QImage image = images.GetImage(VantorImages::VANTORIMAGE(value));
            if (value >= 0 && value <= 3)
                QCOMPARE(image.size(), sizes[value]);
            else
                QCOMPARE(image, logo);
            QCOMPARE(qAlpha(image.pixel(0, 0)) | qAlpha(image.pixel(image.width() - 1, 100)), 0);
        }
        // The end screen prints on the board, so it must be plain board grey there.
        const auto notBoardGrey = [](QRgb p) { return p != 0xffcdd2d5; };
        for (const auto result : {VantorImages::RACE_WON, VantorImages::RACE_COMPLETED})
            QCOMPARE(Find(images.GetImage(result).copy(40, 181, 146, 73), notBoardGrey).second, 0);
        const auto isBlue = [](QRgb p) { return p == 0xff0000dc; };
        const auto winner = Find(images.GetImage(VantorImages::RACE_WON), isBlue);
        QVERIFY(winner.second > 400);
        QVERIFY(QRect(11, 54, 202, 58).contains(winner.first));
        QCOMPARE(Find(images.GetImage(VantorImages::RACE_COMPLETED), isBlue).second, 0);
        const QImage missing = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
        const auto ink = Find(missing, [](QRgb p) { return qAlpha(p) != 0; });
        QVERIFY(ink.second > 1000);
        QVERIFY(QRect(42, 29, 156, 93).contains(ink.first));
        QCOMPARE(Find(missing, [](QRgb p) { return p == 0xfffffa00; }).second, ink.second);
    }

    // The window's icon is read from the pictures drawn at build time into the icon theme's
    // folder, found from the program's own folder as the installed game finds it; it is drawn
    // anew, at one small size, only where they are missing.
    void windowIconFromTheIconTheme() {
        const ApplicationIcon drawn;
        const auto picture = [](const QIcon& icon, int size) {
            return icon.pixmap(size).toImage().convertToFormat(QImage::Format_RGB32);
        };
        const QIcon installed = ApplicationIcon::WindowIcon(Vantor::IconThemeDir());
        QList<QSize> sizes;
        for (const int size : ApplicationIcon::SIZES) sizes << QSize(size, size);
        QCOMPARE(installed.availableSizes(), sizes);
        for (const int size : ApplicationIcon::SIZES)
            COMPARE_CASE(picture(installed, size), drawn.Picture(size), QByteArray::number(size));

        const QTemporaryDir noTheme;
        const int fallback = ApplicationIcon::WINDOW_FALLBACK_SIZE;
        const QIcon drawnAnew = ApplicationIcon::WindowIcon(noTheme.path());
        QCOMPARE(drawnAnew.availableSizes(), QList<QSize>{QSize(fallback, fallback)});
        QCOMPARE(picture(drawnAnew, fallback), drawn.Picture(fallback));
    }
};

QTEST_MAIN(ScreenPicturesTest)
#include "tst_screen_pictures.moc"
