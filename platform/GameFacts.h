#pragma once

// What every layer of the game shares, each written only here. The build reads TRACK_COUNT from
// this file too, so keep its line in the form "constexpr int TRACK_COUNT = <number>;".

// The game's name: the window title, the caption of its warnings and the name of its trace log.
inline constexpr char GAME_NAME[] = "Vantor";

constexpr int TRACK_COUNT = 15;

// Every track is a grid of 3 columns by 4 rows of pieces, and the canvas is exactly that grid.
constexpr int GRID_COLUMNS = 3;
constexpr int GRID_ROWS = 4;
constexpr int PIECE_WIDTH = 75;
constexpr int PIECE_HEIGHT = 73;
constexpr int CANVAS_WIDTH = GRID_COLUMNS * PIECE_WIDTH;
constexpr int CANVAS_HEIGHT = GRID_ROWS * PIECE_HEIGHT;

// A replay of the longest race is some tens of kilobytes; no larger file is read as one.
constexpr long long MAX_REPLAY_BYTES = 1024 * 1024;
