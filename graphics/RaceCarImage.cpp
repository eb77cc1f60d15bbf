#include "graphics/RaceCarImage.h"

#include <QByteArray>
#include <QImage>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "graphics/CarFrames.h"

namespace {

constexpr char kFallbackColour[] = "#000000";
constexpr char kBodyKeyPrefix[] = "o ";
constexpr int kHexDigits = 6;

// Stops at the first character that does not fit, so a short text is never read past its end.
bool IsHexColour(const char* colour) {
    if (colour == nullptr || colour[0] != '#') {
        return false;
    }
    for (int i = 1; i <= kHexDigits; ++i) {
        if (std::isxdigit(static_cast<unsigned char>(colour[i])) == 0) {
            return false;
        }
    }
    return colour[kHexDigits + 1] == '\0';
}

// Converts one frame with its body line pointed at this object's own colour line; the built-in data
// is only read.
QPixmap ColouredFrame(const char* const* xpm, const QByteArray& bodyLine) {
    int width = 0;
    int height = 0;
    int colourCount = 0;
    if (std::sscanf(xpm[0], "%d %d %d", &width, &height, &colourCount) != 3) {
        return QPixmap();
    }
    std::vector<const char*> lines(xpm, xpm + 1 + colourCount + height);
    for (int i = 1; i <= colourCount; ++i) {
        if (std::strncmp(lines[i], kBodyKeyPrefix, sizeof kBodyKeyPrefix - 1) == 0) {
            lines[i] = bodyLine.constData();
        }
    }
    return QPixmap::fromImage(QImage(lines.data()));
}

QList<QPixmap> ColouredFrames(const char* colour) {
    const QByteArray bodyLine =
        QByteArray(kBodyKeyPrefix) + "c " + (IsHexColour(colour) ? colour : kFallbackColour);
    QList<QPixmap> frames;
    for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
        frames.append(ColouredFrame(CarFrameXpm(frame), bodyLine));
    }
    return frames;
}

}  // namespace

RaceCarImage::RaceCarImage(const char* colour)
    : carFrames(ColouredFrames(colour)),
      originHotSpots(CAR_FRAME_COUNT, QPoint(0, 0)),
      centreHotSpots(CAR_FRAME_COUNT, QPoint(CAR_FRAME_SIZE / 2, CAR_FRAME_SIZE / 2)) {}
