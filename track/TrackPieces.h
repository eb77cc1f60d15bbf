#pragma once

// The piece kinds a track cell can hold.
enum trackPieces {
    pieceGrass = 0,
    pieceVerticalTrack = 1,
    pieceVerticalBridge = 2,
    pieceHorizontalTrack = 3,
    pieceHorizontalBridge = 4,
    pieceHorizontalStart = 5,
    pieceUpperRight = 6,
    pieceUpperRightBridge = 7,
    pieceLowerRight = 8,
    pieceLowerRightBridge = 9,
    pieceUpperLeft = 10,
    pieceUpperLeftBridge = 11,
    pieceLowerLeft = 12,
    pieceLowerLeftBridge = 13,
    pieceVerticalStart = 14,
    pieceVerticalStartBridge = 15,
    pieceUpperRightStart = 16,
    pieceNone = 17
};

// On a straight piece the direction of travel; on a corner the turn sense (dirLeft anticlockwise,
// dirRight clockwise).
enum theDirection { dirLeft = 0, dirRight = 1, dirUp = 2, dirDown = 3, dirNone = 4 };

// What a piece is asked for its direction: the travel along its vertical leg, along its horizontal
// leg, or the direction stored for it. Any other value asks for the stored direction too.
enum directionEntry { entryVerticalLeg = 1, entryHorizontalLeg = 2, entryStoredDirection = 3 };
