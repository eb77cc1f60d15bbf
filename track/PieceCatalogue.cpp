#include "track/PieceCatalogue.h"

namespace {

constexpr LegRule STORED{true, dirNone, dirNone};
// Turning left (anticlockwise) on a right-hand corner runs up its vertical leg, on a left-hand
// corner down it; on a lower corner it runs right along the horizontal leg.
constexpr LegRule UP_WHEN_TURNING_LEFT{false, dirUp, dirDown};
constexpr LegRule DOWN_WHEN_TURNING_LEFT{false, dirDown, dirUp};
constexpr LegRule RIGHT_WHEN_TURNING_LEFT{false, dirRight, dirLeft};

constexpr unsigned VERTICAL = edgeTop | edgeBottom;
constexpr unsigned HORIZONTAL = edgeLeft | edgeRight;

using P = TrackPicture;
using M = SurfaceMapId;

// Indexed by trackPieces.
constexpr PieceEntry CATALOGUE[PIECE_KIND_COUNT] = {
    // pieceGrass
    {true, P::Grass, M::GrassArea, 0u, false, false, STORED, STORED},
    // pieceVerticalTrack
    {true, P::VerticalTrack, M::VerticalScaled2, VERTICAL, false, false, STORED, STORED},
    // pieceVerticalBridge
    {true, P::VerticalBridge, M::VerticalBridge2, VERTICAL, false, true, STORED, STORED},
    // pieceHorizontalTrack
    {true, P::HorizontalTrack, M::HorizontalScaled2, HORIZONTAL, false, false, STORED, STORED},
    // pieceHorizontalBridge
    {true, P::HorizontalBridge, M::HorizontalBridge2, HORIZONTAL, false, true, STORED, STORED},
    // pieceHorizontalStart
    {true, P::HorizontalStart, M::HorizontalScaled2, HORIZONTAL, true, false, STORED, STORED},
    // pieceUpperRight
    {true, P::UpperRight, M::UpperRightScaled2, edgeLeft | edgeBottom, false, false,
     UP_WHEN_TURNING_LEFT, STORED},
    // pieceUpperRightBridge
    {true, P::UpperRight, M::UpperRightBridge2, edgeLeft | edgeBottom, false, true,
     UP_WHEN_TURNING_LEFT, STORED},
    // pieceLowerRight
    {true, P::LowerRight, M::LowerRightScaled2, edgeLeft | edgeTop, false, false,
     UP_WHEN_TURNING_LEFT, RIGHT_WHEN_TURNING_LEFT},
    // pieceLowerRightBridge
    {true, P::LowerRight, M::LowerRightBridge2, edgeLeft | edgeTop, false, true,
     UP_WHEN_TURNING_LEFT, RIGHT_WHEN_TURNING_LEFT},
    // pieceUpperLeft
    {true, P::UpperLeft, M::UpperLeftScaled2, edgeRight | edgeBottom, false, false,
     DOWN_WHEN_TURNING_LEFT, STORED},
    // pieceUpperLeftBridge
    {true, P::UpperLeft, M::UpperLeftBridge2, edgeRight | edgeBottom, false, true,
     DOWN_WHEN_TURNING_LEFT, STORED},
    // pieceLowerLeft
    {true, P::LowerLeft, M::LowerLeftScaled2, edgeRight | edgeTop, false, false,
     DOWN_WHEN_TURNING_LEFT, RIGHT_WHEN_TURNING_LEFT},
    // pieceLowerLeftBridge
    {true, P::LowerLeft, M::LowerLeftBridge2, edgeRight | edgeTop, false, true,
     DOWN_WHEN_TURNING_LEFT, RIGHT_WHEN_TURNING_LEFT},
    // pieceVerticalStart
    {true, P::VerticalStart, M::VerticalScaled2, VERTICAL, true, false, STORED, STORED},
    // pieceVerticalStartBridge
    {true, P::VerticalStartBridge, M::VerticalBridge2, VERTICAL, true, true, STORED, STORED},
    // pieceUpperRightStart
    {true, P::UpperRightStart, M::UpperRightBridge2, edgeLeft | edgeBottom, true, true,
     UP_WHEN_TURNING_LEFT, STORED},
    // pieceNone
    {false, P::Grass, M::GrassArea, 0u, false, false, STORED, STORED},
};

}  // namespace

const PieceEntry& PieceCatalogueEntry(int piece) {
    if (piece < 0 || piece >= PIECE_KIND_COUNT) {
        return CATALOGUE[pieceNone];
    }
    return CATALOGUE[piece];
}

theDirection TrackDirectionOf(int piece, theDirection stored, int entry) {
    const PieceEntry& catalogued = PieceCatalogueEntry(piece);
    switch (entry) {
        case entryVerticalLeg:
            return catalogued.verticalLeg.Travel(stored);
        case entryHorizontalLeg:
            return catalogued.horizontalLeg.Travel(stored);
        default:
            return stored;
    }
}
