#pragma once

#include "platform/GameFacts.h"

// The fifteen built-in tracks. A layout is two tables of 24 ints, piece kinds (trackPieces) and
// directions (theDirection): entry i is level i / 12 (0 ground, 1 bridge), row (i % 12) / 3 and
// column i % 3, so each level is stored row by row, ground level first.

constexpr int LAYOUT_LEVELS = 2;
constexpr int LAYOUT_CELLS_PER_LEVEL = GRID_COLUMNS * GRID_ROWS;
constexpr int LAYOUT_ENTRIES = LAYOUT_CELLS_PER_LEVEL * LAYOUT_LEVELS;

constexpr int LayoutEntryIndex(int level, int row, int column) {
    return level * LAYOUT_CELLS_PER_LEVEL + row * GRID_COLUMNS + column;
}

struct TrackLayout {
    const int* image;      // LAYOUT_ENTRIES piece kinds
    const int* direction;  // LAYOUT_ENTRIES directions
    int piecesPerLap;      // cells on either level that hold a track piece
};

// The layout of the track with this index (0 is track 1), or nullptr outside 0..14.
const TrackLayout* BuiltInTrackLayout(int trackIndex);
