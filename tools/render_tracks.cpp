// Renders the built-in tracks from their layouts.
//   render_tracks --layouts <dir>   every track at full size on the race canvas: <dir>/track<N>.png
//   render_tracks --previews <dir>  the start menu's previews: <dir>/TrackPix<N>.png
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <memory>
#include <vector>

#include "platform/Canvas.h"
#include "race/TrackLayouts.h"
#include "race/TrackLoader.h"
#include "track/GridSection.h"

namespace {

// The preview sits above the start menu, whose first row is at y 150 on the 225-wide canvas.
constexpr int PREVIEW_WIDTH = Canvas::WIDTH;
constexpr int PREVIEW_HEIGHT = 148;
constexpr int PREVIEW_MARGIN = 5;
// The start logo (x 22..202, y 5..120) covers the middle of the preview at first, so the caption
// goes in the bottom left corner, beside the track and below the logo.
constexpr int CAPTION_LEFT = 4;
constexpr int CAPTION_BASELINE = PREVIEW_HEIGHT - 6;
constexpr int CAPTION_PIXEL_SIZE = 12;
const QColor CAPTION_COLOUR(255, 255, 255);

QImage RenderTrack(int trackIndex) {
    Canvas canvas;
    std::vector<std::unique_ptr<GridSection>> sections;
    LoadTrackLayout(trackIndex, &canvas, sections);
    QImage image(Canvas::WIDTH, Canvas::HEIGHT, QImage::Format_RGB32);
    QPainter painter(&image);
    canvas.render(&painter, image.rect(), canvas.sceneRect());
    return image;
}

QImage RenderPreview(int trackIndex) {
    QImage preview(PREVIEW_WIDTH, PREVIEW_HEIGHT, QImage::Format_RGB32);
    preview.fill(Canvas::BACKGROUND);
    const QImage track =
        RenderTrack(trackIndex)
            .scaledToHeight(PREVIEW_HEIGHT - 2 * PREVIEW_MARGIN, Qt::SmoothTransformation);
    QPainter painter(&preview);
    painter.drawImage((PREVIEW_WIDTH - track.width()) / 2, PREVIEW_MARGIN, track);
    QFont font("Helvetica");
    font.setPixelSize(CAPTION_PIXEL_SIZE);
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    painter.setPen(CAPTION_COLOUR);
    painter.drawText(CAPTION_LEFT, CAPTION_BASELINE, QString("Track %1").arg(trackIndex + 1));
    return preview;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    QTextStream errors(stderr);
    const bool layouts = arguments.size() == 3 && arguments[1] == "--layouts";
    const bool previews = arguments.size() == 3 && arguments[1] == "--previews";
    if (!layouts && !previews) {
        errors << "usage: render_tracks --layouts <dir> | --previews <dir>\n";
        return 2;
    }
    const QDir directory(arguments[2]);
    if (!directory.exists() && !QDir().mkpath(directory.path())) {
        errors << "cannot create " << directory.path() << "\n";
        return 1;
    }
    for (int track = 0; track < TRACK_COUNT; ++track) {
        const QString name = layouts ? QString("track%1.png") : QString("TrackPix%1.png");
        const QString path = directory.filePath(name.arg(track + 1));
        const QImage image = layouts ? RenderTrack(track) : RenderPreview(track);
        if (!image.save(path, "PNG")) {
            errors << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
