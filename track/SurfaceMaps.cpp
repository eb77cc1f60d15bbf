#include "track/SurfaceMaps.h"

#include <array>
#include <utility>

namespace {

enum class RoadShape { None, Vertical, Horizontal, VerticalDeck, HorizontalDeck, Corner };

constexpr int LAST_X = SURFACE_MAP_WIDTH - 1;
constexpr int LAST_Y = SURFACE_MAP_HEIGHT - 1;

// A corner's road is a quarter disc of radius 68.3 about a point just beyond the corner where its
// two open edges meet. The squared distance is an integer, so <= 68.3^2 (4664.89) means <= 4664.
constexpr int ARC_RADIUS_SQUARED_FLOOR = 4664;

constexpr int LEG_ROWS = 5;

// The leg of a corner that meets its vertical neighbour: five rows whose inner bound follows the
// short diagonal of the inner kerb instead of the open edge.
struct CornerRule {
    int centreX;
    int centreY;
    int firstRow;  // rows with road, inclusive
    int lastRow;
    bool openOnLeft;  // the road reaches the left edge (else the right edge)
    int firstLegRow;
    int legBound[LEG_ROWS];  // inner bound of the road in the leg rows: from x if open on left,
                             // else to x
};

constexpr CornerRule UPPER_RIGHT{-1, 73, 5, LAST_Y, true, 68, {3, 4, 5, 6, 6}};
constexpr CornerRule LOWER_RIGHT{-1, -2, 0, 66, true, 0, {7, 7, 6, 5, 4}};
constexpr CornerRule UPPER_LEFT{75, 73, 5, LAST_Y, false, 68, {70, 69, 68, 68, 68}};
constexpr CornerRule LOWER_LEFT{75, -2, 0, 66, false, 0, {68, 68, 69, 70, 71}};

struct MapRule {
    RoadShape shape;
    int roadValue;
    const CornerRule* corner;
};

// Indexed by SurfaceMapId.
constexpr MapRule MAP_RULES[SURFACE_MAP_COUNT] = {
    {RoadShape::None, Surface::OffRoad, nullptr},
    {RoadShape::Vertical, Surface::VerticalRoad, nullptr},
    {RoadShape::Horizontal, Surface::HorizontalRoad, nullptr},
    {RoadShape::VerticalDeck, Surface::BridgeVerticalRoad, nullptr},
    {RoadShape::HorizontalDeck, Surface::BridgeHorizontalRoad, nullptr},
    {RoadShape::Corner, Surface::CornerRoad, &UPPER_RIGHT},
    {RoadShape::Corner, Surface::BridgeCornerRoad, &UPPER_RIGHT},
    {RoadShape::Corner, Surface::CornerRoad, &LOWER_RIGHT},
    {RoadShape::Corner, Surface::BridgeCornerRoad, &LOWER_RIGHT},
    {RoadShape::Corner, Surface::CornerRoad, &UPPER_LEFT},
    {RoadShape::Corner, Surface::BridgeCornerRoad, &UPPER_LEFT},
    {RoadShape::Corner, Surface::CornerRoad, &LOWER_LEFT},
    {RoadShape::Corner, Surface::BridgeCornerRoad, &LOWER_LEFT},
};

constexpr int Min(int a, int b) {
    return a < b ? a : b;
}

constexpr bool OnCornerRoad(const CornerRule& rule, int x, int y) {
    if (y < rule.firstRow || y > rule.lastRow) {
        return false;
    }
    const int dx = x - rule.centreX;
    const int dy = y - rule.centreY;
    if (dx * dx + dy * dy > ARC_RADIUS_SQUARED_FLOOR) {
        return false;
    }
    const int legIndex = y - rule.firstLegRow;
    if (legIndex < 0 || legIndex >= LEG_ROWS) {
        return true;
    }
    const int bound = rule.legBound[legIndex];
    return rule.openOnLeft ? x >= bound : x <= bound;
}

constexpr bool OnRoad(const MapRule& rule, int x, int y) {
    switch (rule.shape) {
        case RoadShape::None:
            return false;
        case RoadShape::Vertical:
            return x >= 6 && x <= 69;
        case RoadShape::Horizontal:
            return y >= 5 && y <= 67;
        case RoadShape::VerticalDeck: {
            // 12..62 along the bridge, widening by a pixel a side per row over the last five rows.
            const int narrowing = Min(Min(y, LAST_Y - y), 5);
            return x >= 7 + narrowing && x <= 67 - narrowing;
        }
        case RoadShape::HorizontalDeck: {
            // 11..59 along the bridge, widening by a pixel a side per column over the last six.
            const int narrowing = Min(Min(x, LAST_X - x), 6);
            return y >= 5 + narrowing && y <= 65 - narrowing;
        }
        case RoadShape::Corner:
            return OnCornerRoad(*rule.corner, x, y);
    }
    return false;
}

constexpr SurfaceMap MakeSurfaceMap(const MapRule& rule) {
    SurfaceMap map{};
    for (int y = 0; y < SURFACE_MAP_HEIGHT; ++y) {
        for (int x = 0; x < SURFACE_MAP_WIDTH; ++x) {
            map.value[y][x] = OnRoad(rule, x, y) ? rule.roadValue : Surface::OffRoad;
        }
    }
    return map;
}

// Each map is its own constant, so each is evaluated on its own: one evaluation of all thirteen
// would exceed a compiler's step limit for compile-time evaluation.
template <int Id>
constexpr SurfaceMap SURFACE_MAP = MakeSurfaceMap(MAP_RULES[Id]);

template <int... Ids>
constexpr std::array<const SurfaceMap*, sizeof...(Ids)> SurfaceMapTable(
    std::integer_sequence<int, Ids...>) {
    return {&SURFACE_MAP<Ids>...};
}

constexpr std::array<const SurfaceMap*, SURFACE_MAP_COUNT> SURFACE_MAPS =
    SurfaceMapTable(std::make_integer_sequence<int, SURFACE_MAP_COUNT>{});

}  // namespace

const SurfaceMap& BuiltInSurfaceMap(SurfaceMapId id) {
    return *SURFACE_MAPS[static_cast<int>(id)];
}

int SurfaceMapRoadValue(SurfaceMapId id) {
    return MAP_RULES[static_cast<int>(id)].roadValue;
}
