#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// A mono 16-bit PCM WAV file, the one kind the game's sounds come in.
struct Wave {
    int sampleRate = 0;
    std::vector<std::int16_t> samples;
};

class WaveFile {
  public:
    // Far above any of the game's sounds; a larger file is not read.
    static constexpr std::int64_t MAX_FILE_BYTES = 8 * 1024 * 1024;

    // Empty error when the file was read; otherwise what is wrong with it, and the wave is empty.
    static Wave Read(const QString& path, QString& error);
    static bool Write(const QString& path, const Wave& wave);
};
