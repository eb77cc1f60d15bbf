#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <utility>

// The smallest rectangle holding every pixel of the image that passes the test, and how many do.
template <typename Test>
std::pair<QRect, int> Find(const QImage& image, Test test) {
    std::pair<QRect, int> found{QRect(), 0};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixel(x, y)))
                found = {found.first | QRect(x, y, 1, 1), found.second + 1};
        }
    }
    return found;
}

// A test for pixels whose every channel lies within the tolerance of the colour's.
inline auto Near(QColor colour, int tolerance) {
    return [colour, tolerance](QRgb p) {
        return std::max({qAbs(qRed(p) - colour.red()), qAbs(qGreen(p) - colour.green()),
                         qAbs(qBlue(p) - colour.blue())}) <= tolerance;
    };
}
