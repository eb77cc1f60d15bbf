#pragma once

#include <QString>

// The player's sound choice, kept between runs in a settings store of its own beside the race
// records ("VantorSettings", group "sound"), under the same rules: only an ordinary file is read
// or written, and one the game cannot use is left as it is.
class SoundSettings {
  public:
    // False when nothing is stored or the store cannot be used.
    static bool ReadMuted();
    // False when the choice could not be saved.
    static bool WriteMuted(bool muted);
    // Where the choice is kept.
    static QString FileName();
};
