#pragma once

#include <QImage>

#include "platform/RectangleItem.h"
#include "track/SurfaceMaps.h"
#include "track/TrackPieces.h"

// One track piece in its 75x73 cell of the race canvas: draws the piece's picture and tells,
// through its own copy of the piece's surface map, what lies under any point of the cell.
class GridSection : public RectangleItem {
  public:
    enum { Type = 984376 };
    static constexpr int MAP_WIDTH = SURFACE_MAP_WIDTH;
    static constexpr int MAP_HEIGHT = SURFACE_MAP_HEIGHT;

    explicit GridSection(QGraphicsScene* canvas);
    int type() const override { return Type; }

    void LoadImage(trackPieces piece, theDirection direction, int column, int row, int level);
    void LoadGrid(int piece);
    void SetImage();

    theDirection GetTrackDirection(int entry) const;
    bool IsStartTrack() const;
    // False when (x, y) lies in this cell and z is the car depth of this section's level.
    bool OnGrid(int x, int y, int z) const;
    void GetGridXYValues(double x, double y, int* gx, int* gy) const;
    // The surface value at cell coordinates. A point beyond the map (GetGridXYValues can step up to
    // three pixels past the last column or row) reads the nearest pixel of the map.
    int SurfaceValue(int gx, int gy) const;

    int GetGridMinXValue() const { return minX; }
    int GetGridMinYValue() const { return minY; }
    int GetGridMaxXValue() const { return maxX; }
    int GetGridMaxYValue() const { return maxY; }
    void SetTrackValue(int value) { trackValue = value; }
    int GetTrackValue() const { return trackValue; }
    trackPieces PieceKind() const { return pieceKind; }
    int LevelValue() const { return levelValue; }

  protected:
    void drawShape(QPainter& painter) override;

  private:
    trackPieces pieceKind = pieceGrass;
    int surfaceMap[MAP_HEIGHT][MAP_WIDTH] = {};
    QImage pieceImage;
    int trackValue = 0;
    int levelValue = 0;
    theDirection trackDirection = dirNone;
    int minX = 0;
    int minY = 0;
    int maxX = 0;
    int maxY = 0;
};
