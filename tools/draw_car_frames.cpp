// Draws the 24 frames of the race car, one per 15-degree heading, as XPM data with the body colour
// left as a placeholder, and a contact sheet of the frames in both car colours to judge them by
// eye.
//
// Usage: draw_car_frames <xpm-folder> [<contact_sheet.png>]
// writes <xpm-folder>/car_frames.xpm, and the contact sheet when it is named.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <QTextStream>
#include <array>
#include <cmath>
#include <iterator>

#include "tools/XpmWriter.h"

namespace {

constexpr int kFrameSize = 20;
constexpr int kFrameCount = 24;
constexpr double kDegreesPerFrame = 15.0;
// Frames turn about this grid point, so quarter turns map pixel centres exactly onto pixel centres.
constexpr double kTurnCentre = 10.0;

enum class Paint { None, Tyre, Shading, Highlight, Helmet, Body };
constexpr int kPaintCount = int(Paint::Body) + 1;

struct PaletteEntry {
    Paint paint;
    const char* key;
    QRgb colour;
};

// The body is drawn in black and written as the placeholder line that the game recolours.
constexpr QRgb kBodyPlaceholder = 0xff000000;
constexpr PaletteEntry kPalette[] = {
    {Paint::None, "+", 0x00000000},    {Paint::Tyre, " ", 0xff010101},
    {Paint::Shading, ".", 0xff484848}, {Paint::Highlight, "X", 0xffa6a6a6},
    {Paint::Helmet, "O", 0xff777777},  {Paint::Body, "o", kBodyPlaceholder},
};
static_assert(std::size(kPalette) == kPaintCount, "every paint has one palette entry");
constexpr char kBodyKey[] = "o";
constexpr char kBodyPlaceholderText[] = "#000000";

// One rectangle of the car pointing up, in frame coordinates: x from left to right, y from top to
// bottom (pixel (c, r) covers [c, c+1) x [r, r+1)). Later parts lie on top of earlier ones.
struct CarPart {
    double left, top, right, bottom;
    Paint paint;
};

// Symmetric about x = 9.5; the narrow end is the front.
constexpr CarPart kCarParts[] = {
    // front wing, 9 wide
    {5, 1, 14, 3, Paint::Body},
    // nose with its suspension arms
    {7, 4, 12, 6, Paint::Shading},
    {8, 3, 11, 7, Paint::Body},
    // front tyres, with a lit sidewall
    {4, 3, 7, 7, Paint::Tyre},
    {12, 3, 15, 7, Paint::Tyre},
    {4, 3, 5, 7, Paint::Highlight},
    {14, 3, 15, 7, Paint::Highlight},
    // chassis and sidepods
    {6, 7, 13, 12, Paint::Body},
    {5, 9, 14, 12, Paint::Body},
    // cockpit: rim, helmet, headrest
    {7, 6, 12, 11, Paint::Highlight},
    {8, 7, 11, 9, Paint::Helmet},
    {8, 9, 11, 10, Paint::Body},
    // engine cover with its suspension arms
    {7, 13, 12, 15, Paint::Shading},
    {8, 12, 11, 16, Paint::Body},
    // rear tyres, with a lit sidewall
    {4, 12, 7, 16, Paint::Tyre},
    {12, 12, 15, 16, Paint::Tyre},
    {4, 12, 5, 16, Paint::Highlight},
    {14, 12, 15, 16, Paint::Highlight},
    // centre line along nose and engine cover
    {9, 3, 10, 6, Paint::Highlight},
    {9, 11, 10, 16, Paint::Highlight},
    // rear wing, 11 wide
    {4, 16, 15, 19, Paint::Body},
};

using FramePaint = std::array<std::array<Paint, kFrameSize>, kFrameSize>;  // [row][column]

Paint PaintAt(const QPointF& point) {
    Paint paint = Paint::None;
    for (const CarPart& part : kCarParts) {
        if (point.x() >= part.left && point.x() < part.right && point.y() >= part.top &&
            point.y() < part.bottom) {
            paint = part.paint;
        }
    }
    return paint;
}

constexpr int kSamplesPerSide = 4;

// The car turned clockwise by the frame's angle, without smoothing: each pixel takes the one paint
// that covers most of it in the upright car turned back, or none when the car covers less than
// half.
FramePaint RasteriseFrame(int frame) {
    const double radians = frame * kDegreesPerFrame * M_PI / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    FramePaint pixels{};
    for (int row = 0; row < kFrameSize; ++row) {
        for (int column = 0; column < kFrameSize; ++column) {
            std::array<int, kPaintCount> coverage{};
            for (int sy = 0; sy < kSamplesPerSide; ++sy) {
                for (int sx = 0; sx < kSamplesPerSide; ++sx) {
                    const double dx = column + (sx + 0.5) / kSamplesPerSide - kTurnCentre;
                    const double dy = row + (sy + 0.5) / kSamplesPerSide - kTurnCentre;
                    const Paint paint = PaintAt(
                        QPointF(kTurnCentre + dx * c + dy * s, kTurnCentre - dx * s + dy * c));
                    ++coverage[int(paint)];
                }
            }
            Paint best = Paint::None;
            if (2 * coverage[int(Paint::None)] <= kSamplesPerSide * kSamplesPerSide) {
                int most = 0;
                for (int paint = int(Paint::None) + 1; paint < kPaintCount; ++paint) {
                    if (coverage[paint] > most) {
                        most = coverage[paint];
                        best = Paint(paint);
                    }
                }
            }
            pixels[row][column] = best;
        }
    }
    return pixels;
}

QRgb ColourOf(Paint paint, QRgb bodyColour) {
    if (paint == Paint::Body) {
        return bodyColour;
    }
    for (const PaletteEntry& entry : kPalette) {
        if (entry.paint == paint) {
            return entry.colour;
        }
    }
    return 0;
}

QImage FrameImage(const FramePaint& pixels, QRgb bodyColour) {
    QImage image(kFrameSize, kFrameSize, QImage::Format_ARGB32);
    for (int row = 0; row < kFrameSize; ++row) {
        for (int column = 0; column < kFrameSize; ++column) {
            image.setPixel(column, row, ColourOf(pixels[row][column], bodyColour));
        }
    }
    return image;
}

bool WriteFrames(const std::array<FramePaint, kFrameCount>& frames, const QString& path) {
    QByteArray xpm;
    for (int frame = 0; frame < kFrameCount; ++frame) {
        XpmWriter writer(QString("CarPic%1").arg(frame, 2, 10, QChar('0')));
        for (const PaletteEntry& entry : kPalette) {
            writer.setFixedKey(entry.colour, entry.key);
        }
        writer.setColourText(kBodyKey, kBodyPlaceholderText);
        if (frame > 0) {
            xpm += '\n';
        }
        xpm += writer.toXpm(FrameImage(frames[frame], kBodyPlaceholder));
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(xpm) == xpm.size();
}

// Every frame in each car colour, scaled up on a patch of road on grass, with a tick in the cell's
// corner showing the heading the frame should have.
bool WriteContactSheet(const std::array<FramePaint, kFrameCount>& frames, const QString& path) {
    constexpr int kScale = 6;
    constexpr int kColumns = 6;
    constexpr int kMargin = 12;
    constexpr int kCell = kFrameSize * kScale + 2 * kMargin;
    constexpr QRgb kCarColours[] = {0xff00ffff, 0xffffff00};
    constexpr int kRowsPerColour = kFrameCount / kColumns;

    QImage sheet(kColumns * kCell, 2 * kRowsPerColour * kCell, QImage::Format_ARGB32);
    sheet.fill(QColor(0x00, 0x80, 0x00));
    QPainter painter(&sheet);
    QFont font("Helvetica");
    font.setPixelSize(12);
    painter.setFont(font);
    for (int colour = 0; colour < 2; ++colour) {
        for (int frame = 0; frame < kFrameCount; ++frame) {
            const int cellRow = colour * kRowsPerColour + frame / kColumns;
            const QPoint cell((frame % kColumns) * kCell, cellRow * kCell);
            const QImage scaled = FrameImage(frames[frame], kCarColours[colour])
                                      .scaled(kFrameSize * kScale, kFrameSize * kScale);
            const QPoint corner = cell + QPoint(kMargin, kMargin);
            painter.fillRect(QRect(corner, scaled.size()), QColor(0x80, 0x80, 0x80));
            painter.drawImage(corner, scaled);

            painter.setPen(Qt::white);
            painter.drawText(cell + QPoint(2, kMargin - 1), QString::number(frame));
            const double radians = frame * kDegreesPerFrame * M_PI / 180.0;
            const QPointF tickStart = cell + QPointF(kCell - kMargin, kMargin);
            painter.drawLine(tickStart, tickStart + (kMargin - 3) * QPointF(std::sin(radians),
                                                                            -std::cos(radians)));
        }
    }
    painter.end();
    return sheet.save(path);
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        QTextStream(stderr) << "usage: draw_car_frames <xpm-folder> [<contact_sheet.png>]\n";
        return 2;
    }
    const QString xpmPath = QDir(QString::fromLocal8Bit(argv[1])).filePath("car_frames.xpm");
    std::array<FramePaint, kFrameCount> frames;
    for (int frame = 0; frame < kFrameCount; ++frame) {
        frames[frame] = RasteriseFrame(frame);
    }
    if (!WriteFrames(frames, xpmPath)) {
        QTextStream(stderr) << "cannot write " << xpmPath << "\n";
        return 1;
    }
    if (argc == 3 && !WriteContactSheet(frames, argv[2])) {
        QTextStream(stderr) << "cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
