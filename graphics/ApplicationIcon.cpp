#include "graphics/ApplicationIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>

#include "graphics/RaceCarImage.h"
#include "graphics/TrackPictures.h"

namespace {

// The car drives up over the start line: the start piece with the track going on below it, and the
// car's frame centred on the first chequer row.
constexpr int CAR_FRAME_UP = 0;
const QPoint CAR_CENTRE(37, 55);
constexpr int CAR_SIZE = 20;
// The body lies half a pixel left of its frame's centre; the view centres the body.
const QPointF VIEW_CENTRE(CAR_CENTRE.x() - 0.5, CAR_CENTRE.y());
// The smallest view around the car: the car and a margin of road, in picture pixels.
constexpr int SMALLEST_VIEW = CAR_SIZE + 4;

QImage Scene() {
    const QImage start(TrackPictureXpm(TrackPicture::VerticalStart));
    const QImage below(TrackPictureXpm(TrackPicture::VerticalTrack));
    QImage scene(start.width(), start.height() + below.height(), QImage::Format_RGB32);
    QPainter painter(&scene);
    painter.drawImage(0, 0, start);
    painter.drawImage(0, start.height(), below);
    const QImage car = RaceCarImage(RaceCarImage::BLUE).carFrames[CAR_FRAME_UP].toImage();
    painter.drawImage(CAR_CENTRE - QPoint(CAR_SIZE / 2, CAR_SIZE / 2), car);
    return scene;
}

}  // namespace

ApplicationIcon::ApplicationIcon() : scene(Scene()) {}

QImage ApplicationIcon::Picture(int size) const {
    if (size < SMALLEST_VIEW) {
        // Too small for the car: a sharp picture a whole number of times larger, smoothed down.
        const int factor = (SMALLEST_VIEW + size - 1) / size;
        return Picture(factor * size)
            .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const int scale = size / SMALLEST_VIEW;
    const QImage enlarged = scene.scaled(scene.size() * scale);
    const QPoint corner = (VIEW_CENTRE * scale - QPointF(size, size) / 2).toPoint();
    return enlarged.copy(QRect(corner, QSize(size, size)));
}

QString ApplicationIcon::ThemeFile(int size) {
    return QStringLiteral("%1x%1/apps/vantor.png").arg(size);
}

QIcon ApplicationIcon::WindowIcon(const QString& themeDir) {
    const QDir theme(themeDir);
    QIcon icon;
    for (const int size : SIZES) {
        const QString file = theme.filePath(ThemeFile(size));
        if (QFileInfo::exists(file)) {
            // With its size given, the file is read only when that size is wanted.
            icon.addFile(file, QSize(size, size));
        }
    }
    return icon.isNull()
               ? QIcon(QPixmap::fromImage(ApplicationIcon().Picture(WINDOW_FALLBACK_SIZE)))
               : icon;
}
