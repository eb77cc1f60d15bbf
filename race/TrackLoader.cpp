#include "race/TrackLoader.h"

#include "race/TrackLayouts.h"

namespace {

// Grass sections take no part in lap counting.
constexpr int GRASS_TRACK_VALUE = 255;

}  // namespace

int LoadTrackLayout(int trackIndex, QGraphicsScene* canvas,
                    std::vector<std::unique_ptr<GridSection>>& sections) {
    const TrackLayout* layout = BuiltInTrackLayout(trackIndex);
    if (layout == nullptr) {
        return 0;
    }
    int pieceCounter = 0;
    // Cell by cell in reading order, the bridge piece right after the ground piece below it: the
    // order in which the race later searches for start pieces and for the section under a car.
    for (int row = 0; row < GRID_ROWS; ++row) {
        for (int column = 0; column < GRID_COLUMNS; ++column) {
            for (int level = 0; level < LAYOUT_LEVELS; ++level) {
                const int i = LayoutEntryIndex(level, row, column);
                const auto piece = static_cast<trackPieces>(layout->image[i]);
                if (piece == pieceNone) {
                    continue;
                }
                auto section = std::make_unique<GridSection>(canvas);
                section->LoadImage(piece, static_cast<theDirection>(layout->direction[i]), column,
                                   row, level);
                section->SetImage();
                section->SetTrackValue(piece == pieceGrass ? GRASS_TRACK_VALUE : pieceCounter++);
                sections.push_back(std::move(section));
            }
        }
    }
    return layout->piecesPerLap;
}
