#include "race/TrackLayouts.h"

namespace {

// Each table reads as the grid: four rows of three cells for the ground level, then four for the
// bridge level above it (17 pieceNone / 4 dirNone where nothing crosses).
// clang-format off
// Track 1
constexpr int TrackImage1[LAYOUT_ENTRIES] = {
    10, 3, 6,
    14, 0, 1,
    1, 0, 1,
    12, 3, 8,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection1[LAYOUT_ENTRIES] = {
    1, 1, 1,
    2, 4, 3,
    2, 4, 3,
    1, 0, 1,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 2
constexpr int TrackImage2[LAYOUT_ENTRIES] = {
    10, 6, 0,
    14, 12, 6,
    1, 10, 8,
    12, 8, 0,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection2[LAYOUT_ENTRIES] = {
    1, 1, 4,
    2, 0, 1,
    2, 0, 1,
    1, 1, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 3
constexpr int TrackImage3[LAYOUT_ENTRIES] = {
    10, 3, 6,
    14, 10, 8,
    1, 12, 6,
    12, 3, 8,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection3[LAYOUT_ENTRIES] = {
    1, 1, 1,
    2, 0, 1,
    2, 0, 1,
    1, 0, 1,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 4
constexpr int TrackImage4[LAYOUT_ENTRIES] = {
    11, 3, 6,
    10, 3, 8,
    12, 3, 6,
    13, 3, 8,
    17, 17, 17,
    15, 17, 17,
    2, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection4[LAYOUT_ENTRIES] = {
    1, 1, 1,
    0, 0, 1,
    0, 1, 1,
    1, 0, 1,
    4, 4, 4,
    2, 4, 4,
    2, 4, 4,
    4, 4, 4,
};

// Track 5
constexpr int TrackImage5[LAYOUT_ENTRIES] = {
    0, 11, 6,
    10, 3, 8,
    12, 3, 6,
    0, 13, 8,
    17, 17, 17,
    17, 15, 17,
    17, 2, 17,
    17, 17, 17,
};
constexpr int TrackDirection5[LAYOUT_ENTRIES] = {
    4, 1, 1,
    0, 0, 1,
    0, 1, 1,
    4, 1, 1,
    4, 4, 4,
    4, 2, 4,
    4, 2, 4,
    4, 4, 4,
};

// Track 6
constexpr int TrackImage6[LAYOUT_ENTRIES] = {
    10, 3, 6,
    14, 10, 8,
    1, 1, 0,
    12, 8, 0,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection6[LAYOUT_ENTRIES] = {
    1, 1, 1,
    2, 0, 1,
    2, 3, 4,
    1, 1, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 7
constexpr int TrackImage7[LAYOUT_ENTRIES] = {
    0, 10, 6,
    10, 8, 1,
    14, 10, 8,
    12, 8, 0,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection7[LAYOUT_ENTRIES] = {
    4, 1, 1,
    1, 0, 3,
    2, 0, 1,
    1, 1, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 8
constexpr int TrackImage8[LAYOUT_ENTRIES] = {
    10, 6, 0,
    1, 12, 6,
    14, 0, 1,
    12, 3, 8,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection8[LAYOUT_ENTRIES] = {
    1, 1, 4,
    2, 0, 1,
    2, 4, 3,
    1, 0, 1,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 9
constexpr int TrackImage9[LAYOUT_ENTRIES] = {
    0, 10, 6,
    11, 1, 9,
    14, 1, 0,
    12, 8, 0,
    17, 17, 17,
    17, 4, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection9[LAYOUT_ENTRIES] = {
    4, 0, 0,
    1, 3, 0,
    2, 3, 4,
    1, 1, 4,
    4, 4, 4,
    4, 1, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 10
constexpr int TrackImage10[LAYOUT_ENTRIES] = {
    0, 10, 6,
    11, 1, 9,
    14, 12, 6,
    12, 3, 8,
    17, 17, 17,
    17, 4, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection10[LAYOUT_ENTRIES] = {
    4, 0, 0,
    1, 3, 0,
    2, 0, 1,
    1, 0, 1,
    4, 4, 4,
    4, 1, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 11
constexpr int TrackImage11[LAYOUT_ENTRIES] = {
    10, 7, 0,
    12, 3, 6,
    10, 3, 8,
    12, 9, 0,
    17, 17, 17,
    17, 15, 17,
    17, 2, 17,
    17, 17, 17,
};
constexpr int TrackDirection11[LAYOUT_ENTRIES] = {
    0, 0, 4,
    0, 1, 1,
    0, 0, 1,
    0, 0, 4,
    4, 4, 4,
    4, 2, 4,
    4, 2, 4,
    4, 4, 4,
};

// Track 12
constexpr int TrackImage12[LAYOUT_ENTRIES] = {
    10, 3, 6,
    12, 6, 14,
    10, 8, 1,
    12, 3, 8,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
    17, 17, 17,
};
constexpr int TrackDirection12[LAYOUT_ENTRIES] = {
    0, 0, 0,
    0, 1, 2,
    0, 1, 2,
    0, 1, 0,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
    4, 4, 4,
};

// Track 13
constexpr int TrackImage13[LAYOUT_ENTRIES] = {
    10, 3, 7,
    12, 3, 6,
    10, 3, 8,
    12, 3, 9,
    17, 17, 17,
    17, 17, 15,
    17, 17, 2,
    17, 17, 17,
};
constexpr int TrackDirection13[LAYOUT_ENTRIES] = {
    0, 0, 0,
    0, 1, 1,
    0, 0, 1,
    0, 1, 0,
    4, 4, 4,
    4, 4, 2,
    4, 4, 2,
    4, 4, 4,
};

// Track 14
constexpr int TrackImage14[LAYOUT_ENTRIES] = {
    10, 6, 0,
    13, 12, 6,
    11, 0, 1,
    12, 5, 8,
    17, 17, 17,
    17, 7, 17,
    17, 9, 17,
    17, 17, 17,
};
constexpr int TrackDirection14[LAYOUT_ENTRIES] = {
    1, 1, 4,
    1, 0, 1,
    1, 4, 3,
    1, 0, 1,
    4, 4, 4,
    4, 0, 4,
    4, 0, 4,
    4, 4, 4,
};

// Track 15
constexpr int TrackImage15[LAYOUT_ENTRIES] = {
    10, 5, 6,
    12, 6, 9,
    11, 12, 6,
    12, 3, 8,
    17, 17, 17,
    17, 11, 17,
    17, 9, 17,
    17, 17, 17,
};
constexpr int TrackDirection15[LAYOUT_ENTRIES] = {
    0, 0, 0,
    0, 1, 0,
    1, 0, 1,
    1, 0, 1,
    4, 4, 4,
    4, 1, 4,
    4, 0, 4,
    4, 4, 4,
};

// clang-format on

constexpr TrackLayout LAYOUTS[TRACK_COUNT] = {
    {TrackImage1, TrackDirection1, 10},   {TrackImage2, TrackDirection2, 10},
    {TrackImage3, TrackDirection3, 12},   {TrackImage4, TrackDirection4, 14},
    {TrackImage5, TrackDirection5, 12},   {TrackImage6, TrackDirection6, 10},
    {TrackImage7, TrackDirection7, 10},   {TrackImage8, TrackDirection8, 10},
    {TrackImage9, TrackDirection9, 10},   {TrackImage10, TrackDirection10, 12},
    {TrackImage11, TrackDirection11, 12}, {TrackImage12, TrackDirection12, 12},
    {TrackImage13, TrackDirection13, 14}, {TrackImage14, TrackDirection14, 12},
    {TrackImage15, TrackDirection15, 14},
};

}  // namespace

const TrackLayout* BuiltInTrackLayout(int trackIndex) {
    if (trackIndex < 0 || trackIndex >= TRACK_COUNT) {
        return nullptr;
    }
    return &LAYOUTS[trackIndex];
}
