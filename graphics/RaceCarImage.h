#pragma once

#include <QList>
#include <QPixmap>
#include <QPoint>

// The 24 car frames in one body colour, with the two hot-spot lists from which the race screen
// builds a car's sprite frames: every frame's top-left corner, or every frame's centre.
//
// Each object colours its own copy of the frames, so any number of objects may exist side by side
// and an object's frames keep their colour whatever is built later. The colour is an XPM colour
// text of exactly "#" and six hexadecimal digits (either case); any other text, nullptr included,
// is never read past its end and gives black ("#000000") bodies.
class RaceCarImage {
  public:
    static constexpr const char* BLUE = "#00FFFF";
    static constexpr const char* YELLOW = "#FFFF00";

    explicit RaceCarImage(const char* colour);

    const QList<QPixmap> carFrames;
    const QList<QPoint> originHotSpots;  // all (0, 0)
    const QList<QPoint> centreHotSpots;  // all (10, 10)
};
