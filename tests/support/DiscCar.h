#pragma once

#include <QPainter>
#include <QPoint>

#include "car/RaceCar.h"

// Every frame a 20x20 disc: drawn in the middle, transparent in the corners.
inline SpriteFrames DiscFrames(QPoint hotSpot) {
    QPixmap disc(20, 20);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    painter.setBrush(Qt::blue);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(0, 0, 20, 20);
    painter.end();
    SpriteFrames frames;
    for (int i = 0; i < RaceCar::HEADING_COUNT; ++i) {
        frames.pixmaps.append(disc);
        frames.hotSpots.append(hotSpot);
    }
    return frames;
}
