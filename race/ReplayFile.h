#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/GameFacts.h"
#include "race/Replay.h"

// The replay file: a few lines of text a person can read, the race's settings and result first,
// then its key events, one line per timeout that had any:
//
//     Vantor replay 1
//     rules 1-3fa9c2d17b04
//     track 1
//     level Easy
//     laps 5
//     mode computer
//     result player won
//     ticks 935
//     time 28.050
//     events 3
//     4 Up+
//     57 Up- Left+
//     end
//
// A time trial's file adds, before "end", the ghost it raced: "ghost", then that race's level,
// mode, the car ("car blue" or "car yellow"), ticks and events as above. The rules line names the
// rules and data of the game that wrote it; any other game refuses the file.
class ReplayFile {
  public:
    static constexpr int FORMAT_VERSION = 1;
    static constexpr qint64 MAX_BYTES = MAX_REPLAY_BYTES;
    // A race of 100 minutes; a longer one is refused rather than run.
    static constexpr int MAX_TICKS = 200000;
    // Far above what any race can use, and a bound on what a damaged file can make the game hold.
    static constexpr int MAX_EVENTS = 100000;

    static QByteArray Write(const Replay& replay);

    struct Reading {
        std::optional<Replay> replay;
        QString error;  // why there is none, in words for the player, naming the line
    };
    static Reading Read(const QByteArray& text);
};
