#include "tests/support/GameFixture.h"

#include <QDir>

#include "app/Globals.h"
#include "race/TrackLayouts.h"

PreviewDirectory::PreviewDirectory() {
    QDir(Path()).mkdir(QStringLiteral("track_pics"));
    for (int number = 1; number <= TRACK_COUNT; ++number) {
        QImage picture(225, 140, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(number * 20, 160, 200));
        picture.save(Path() + QStringLiteral("track_pics/TrackPix%1.png").arg(number));
    }
}

int ShownPreview() {
    int shown = -1;
    for (int track = 0; track < TRACK_COUNT; ++track) {
        if (vantor->GetTrackImage(track)->isVisible())
            shown = shown == -1 ? track : -2;
    }
    return shown;
}
