#include "track/GridSection.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

#include "track/ImageItem.h"
#include "track/PieceCatalogue.h"

namespace {

// A point on a cell's first column or row is moved this far into the cell before the look-up.
constexpr int EDGE_STEP = 3;

}  // namespace

GridSection::GridSection(QGraphicsScene* canvas) : RectangleItem(canvas) {}

void GridSection::LoadImage(trackPieces piece, theDirection direction, int column, int row,
                            int level) {
    const PieceEntry& catalogued = PieceCatalogueEntry(piece);
    pieceImage = catalogued.hasPicture ? QImage(TrackPictureXpm(catalogued.picture)) : QImage();
    // A kind without a picture still covers its whole cell.
    const int width = pieceImage.isNull() ? MAP_WIDTH : pieceImage.width();
    const int height = pieceImage.isNull() ? MAP_HEIGHT : pieceImage.height();
    setSize(width, height);
    LoadGrid(piece);
    minX = width * column;
    minY = height * row;
    maxX = minX + width - 1;
    maxY = minY + height - 1;
    pieceKind = piece;
    trackDirection = direction;
    levelValue = 2 * level;
}

void GridSection::LoadGrid(int piece) {
    const SurfaceMap& map = BuiltInSurfaceMap(PieceCatalogueEntry(piece).surfaceMap);
    static_assert(sizeof surfaceMap == sizeof map.value, "a section holds one whole surface map");
    std::memcpy(surfaceMap, map.value, sizeof surfaceMap);
}

void GridSection::SetImage() {
    setPos(minX, minY);
    setZValue(levelValue);
    show();
}

theDirection GridSection::GetTrackDirection(int entry) const {
    return TrackDirectionOf(pieceKind, trackDirection, entry);
}

bool GridSection::IsStartTrack() const {
    return PieceCatalogueEntry(pieceKind).startPiece;
}

bool GridSection::OnGrid(int x, int y, int z) const {
    if (x < minX || x > maxX || y < minY || y > maxY) {
        return true;
    }
    // A car's depth is one above the level value of the sections it drives on.
    return z != levelValue + 1;
}

void GridSection::GetGridXYValues(double x, double y, int* gx, int* gy) const {
    *gx = static_cast<int>(x) - minX;
    *gy = static_cast<int>(y) - minY;
    if (*gx != 0 && *gy != 0) {
        return;
    }
    // On the first column or row the car is moved into the cell, along the road where there is one.
    switch (SurfaceValue(*gx, *gy)) {
        case Surface::VerticalRoad:
            *gy += EDGE_STEP;
            break;
        case Surface::HorizontalRoad:
            *gx += EDGE_STEP;
            break;
        default:
            *gx += EDGE_STEP;
            *gy += EDGE_STEP;
            break;
    }
}

int GridSection::SurfaceValue(int gx, int gy) const {
    return surfaceMap[std::clamp(gy, 0, MAP_HEIGHT - 1)][std::clamp(gx, 0, MAP_WIDTH - 1)];
}

void GridSection::drawShape(QPainter& painter) {
    DrawAtWholePixel(painter, *this, pieceImage);
}
