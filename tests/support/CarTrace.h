#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

#include "car/RaceCar.h"

// What a player sees of one car at one moment: where it is, its frame, whether it shows, its
// level. Nothing at all once the race is over.
struct CarSeen {
    QPointF position;
    int frame = -1;
    bool shown = false;
    double level = 0;

    explicit CarSeen(const RaceCar* car = nullptr) {
        if (car != nullptr)
            *this = {car->pos(), car->frame(), car->isVisible(), car->zValue()};
    }
    CarSeen(QPointF at, int shownFrame, bool isShown, double onLevel)
        : position(at), frame(shownFrame), shown(isShown), level(onLevel) {}
    bool operator==(const CarSeen& other) const {
        return position == other.position && frame == other.frame && shown == other.shown &&
               level == other.level;
    }
};
using CarTrace = QVector<CarSeen>;

// Where two traces part, for a failure to show: empty when they are the same.
inline QString Difference(const CarTrace& actual, const CarTrace& expected) {
    const auto text = [](const CarTrace& trace, int i) {
        if (i >= trace.size())
            return QStringLiteral("nothing");
        const CarSeen& seen = trace[i];
        return QStringLiteral("(%1, %2) frame %3%4 level %5")
            .arg(seen.position.x())
            .arg(seen.position.y())
            .arg(seen.frame)
            .arg(seen.shown ? "" : " hidden")
            .arg(seen.level);
    };
    for (int i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        if (i >= actual.size() || i >= expected.size() || !(actual[i] == expected[i]))
            return QStringLiteral("after timeout %1: %2, expected %3")
                .arg(i + 1)
                .arg(text(actual, i), text(expected, i));
    }
    return QString();
}
