#pragma once

#include "graphics/TrackPictures.h"
#include "track/SurfaceMaps.h"
#include "track/TrackPieces.h"

// The edges of a cell that a piece's road joins, as bit flags.
enum roadEdge : unsigned { edgeLeft = 1u, edgeRight = 2u, edgeTop = 4u, edgeBottom = 8u };

// The direction of travel along one leg of a piece, derived from its stored direction d. On a
// corner d is the turn sense, and the leg's travel follows from whether the car turns left;
// straights and the upper corners' horizontal legs answer d itself.
struct LegRule {
    bool answersStored;
    theDirection whenTurningLeft;
    theDirection otherwise;

    constexpr theDirection Travel(theDirection stored) const {
        if (answersStored) {
            return stored;
        }
        return stored == dirLeft ? whenTurningLeft : otherwise;
    }
};

struct PieceEntry {
    bool hasPicture;
    TrackPicture picture;
    SurfaceMapId surfaceMap;
    unsigned roadEdges;
    bool startPiece;
    bool upperLevel;
    LegRule verticalLeg;
    LegRule horizontalLeg;
};

constexpr int PIECE_KIND_COUNT = 18;

// The entry of a piece kind; any value outside the enum reads as pieceNone (no picture, all grass,
// not a start piece, directions as stored).
const PieceEntry& PieceCatalogueEntry(int piece);

// GetTrackDirection's rule: entry 1 asks for the travel along the piece's vertical leg, entry 2
// along its horizontal leg, any other entry for the stored direction.
theDirection TrackDirectionOf(int piece, theDirection stored, int entry);
