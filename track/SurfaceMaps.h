#pragma once

// What lies under each pixel of a track cell: one small integer per pixel, 0 off the road and one
// road value per map. The thirteen built-in maps are computed from their road rules at compile
// time.

#include "platform/GameFacts.h"

constexpr int SURFACE_MAP_WIDTH = PIECE_WIDTH;
constexpr int SURFACE_MAP_HEIGHT = PIECE_HEIGHT;

// The surface values. Values from BridgeCornerRoad up put a car on the upper level.
namespace Surface {
enum : int {
    OffRoad = 0,
    VerticalRoad = 1,
    HorizontalRoad = 2,
    CornerRoad = 3,
    BridgeCornerRoad = 4,
    BridgeVerticalRoad = 5,
    BridgeHorizontalRoad = 6
};
}

enum class SurfaceMapId {
    GrassArea,
    VerticalScaled2,
    HorizontalScaled2,
    VerticalBridge2,
    HorizontalBridge2,
    UpperRightScaled2,
    UpperRightBridge2,
    LowerRightScaled2,
    LowerRightBridge2,
    UpperLeftScaled2,
    UpperLeftBridge2,
    LowerLeftScaled2,
    LowerLeftBridge2
};

constexpr int SURFACE_MAP_COUNT = 13;

// Row by row: value[y][x] is the pixel in column x, row y of the cell.
struct SurfaceMap {
    int value[SURFACE_MAP_HEIGHT][SURFACE_MAP_WIDTH];
};

const SurfaceMap& BuiltInSurfaceMap(SurfaceMapId id);
// The one road value the map holds besides 0 (0 for the all-grass map).
int SurfaceMapRoadValue(SurfaceMapId id);
