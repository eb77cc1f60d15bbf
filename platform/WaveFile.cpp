#include "platform/WaveFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace {

constexpr int PCM_FORMAT = 1;
constexpr int MONO = 1;
constexpr int BITS_PER_SAMPLE = 16;
constexpr int BYTES_PER_SAMPLE = BITS_PER_SAMPLE / 8;
constexpr int RIFF_HEADER_BYTES = 12;
constexpr int CHUNK_HEADER_BYTES = 8;
constexpr int FORMAT_CHUNK_BYTES = 16;

std::uint32_t Read32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + at);
}

std::uint16_t Read16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<std::uint16_t>(bytes.constData() + at);
}

void Append32(QByteArray& bytes, std::uint32_t value) {
    char le[4];
    qToLittleEndian(value, le);
    bytes.append(le, 4);
}

void Append16(QByteArray& bytes, std::uint16_t value) {
    char le[2];
    qToLittleEndian(value, le);
    bytes.append(le, 2);
}

// The sound in a whole file's bytes; an error text when they are not a mono 16-bit PCM WAV.
QString Parse(const QByteArray& bytes, Wave& wave) {
    if (bytes.size() < RIFF_HEADER_BYTES || !bytes.startsWith("RIFF") ||
        bytes.mid(8, 4) != "WAVE") {
        return QStringLiteral("not a WAV file");
    }
    bool formatSeen = false;
    qsizetype at = RIFF_HEADER_BYTES;
    while (at + CHUNK_HEADER_BYTES <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const qint64 size = Read32(bytes, at + 4);
        const qsizetype body = at + CHUNK_HEADER_BYTES;
        if (size > bytes.size() - body) {
            return QStringLiteral("cut short");
        }
        if (id == "fmt ") {
            if (size < FORMAT_CHUNK_BYTES || Read16(bytes, body) != PCM_FORMAT ||
                Read16(bytes, body + 2) != MONO || Read16(bytes, body + 14) != BITS_PER_SAMPLE) {
                return QStringLiteral("not mono 16-bit PCM");
            }
            wave.sampleRate = int(Read32(bytes, body + 4));
            formatSeen = true;
        } else if (id == "data") {
            if (!formatSeen) {
                return QStringLiteral("sound data before its format");
            }
            wave.samples.resize(std::size_t(size / BYTES_PER_SAMPLE));
            for (std::size_t i = 0; i < wave.samples.size(); ++i) {
                wave.samples[i] = std::int16_t(Read16(bytes, body + qsizetype(i) * 2));
            }
            return QString();
        }
        // Chunks are padded to an even length.
        at = body + size + (size % 2);
    }
    return QStringLiteral("no sound data");
}

}  // namespace

Wave WaveFile::Read(const QString& path, QString& error) {
    Wave wave;
    const QFileInfo info(path);
    // Looked at before it is opened: a FIFO in its place would stall the game.
    if (!info.exists()) {
        error = QStringLiteral("missing");
        return wave;
    }
    QFile file(path);
    if (!info.isFile() || info.size() > MAX_FILE_BYTES || !file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("not a readable sound file");
        return wave;
    }
    error = Parse(file.read(MAX_FILE_BYTES + 1), wave);
    if (!error.isEmpty()) {
        wave = Wave();
    }
    return wave;
}

bool WaveFile::Write(const QString& path, const Wave& wave) {
    const auto dataBytes = std::uint32_t(wave.samples.size() * BYTES_PER_SAMPLE);
    QByteArray bytes("RIFF");
    Append32(bytes, 4 + CHUNK_HEADER_BYTES + FORMAT_CHUNK_BYTES + CHUNK_HEADER_BYTES + dataBytes);
    bytes += "WAVEfmt ";
    Append32(bytes, FORMAT_CHUNK_BYTES);
    Append16(bytes, PCM_FORMAT);
    Append16(bytes, MONO);
    Append32(bytes, std::uint32_t(wave.sampleRate));
    Append32(bytes, std::uint32_t(wave.sampleRate * BYTES_PER_SAMPLE));
    Append16(bytes, BYTES_PER_SAMPLE);
    Append16(bytes, BITS_PER_SAMPLE);
    bytes += "data";
    Append32(bytes, dataBytes);
    for (const std::int16_t sample : wave.samples) {
        Append16(bytes, std::uint16_t(sample));
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           file.commit();
}
