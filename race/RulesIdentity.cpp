#include "race/RulesIdentity.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>

#include "graphics/CarFrames.h"
#include "race/TrackLayouts.h"
#include "track/PieceCatalogue.h"
#include "track/SurfaceMaps.h"

namespace {

constexpr int DIGEST_HEX_DIGITS = 12;
constexpr int PIECE_ENTRIES = 3;  // the entries a piece answers a direction for

void AddInts(QCryptographicHash& digest, const QList<int>& values) {
    for (const int value : values) {
        digest.addData(QByteArray::number(value) + ',');
    }
}

void AddTracks(QCryptographicHash& digest) {
    for (int track = 0; track < TRACK_COUNT; ++track) {
        const TrackLayout* layout = BuiltInTrackLayout(track);
        AddInts(digest, {layout->piecesPerLap});
        AddInts(digest, QList<int>(layout->image, layout->image + LAYOUT_ENTRIES));
        AddInts(digest, QList<int>(layout->direction, layout->direction + LAYOUT_ENTRIES));
    }
}

// What each piece answers the race, rather than how the table says it.
void AddPieces(QCryptographicHash& digest) {
    for (int piece = 0; piece < PIECE_KIND_COUNT; ++piece) {
        const PieceEntry& entry = PieceCatalogueEntry(piece);
        AddInts(digest, {int(entry.surfaceMap), entry.startPiece, entry.upperLevel});
        for (int stored = dirLeft; stored <= dirNone; ++stored) {
            for (int leg = 1; leg <= PIECE_ENTRIES; ++leg) {
                AddInts(digest, {TrackDirectionOf(piece, theDirection(stored), leg)});
            }
        }
    }
    for (int map = 0; map < SURFACE_MAP_COUNT; ++map) {
        const SurfaceMap& surface = BuiltInSurfaceMap(SurfaceMapId(map));
        digest.addData(
            QByteArrayView(reinterpret_cast<const char*>(surface.value), sizeof(surface.value)));
    }
}

// An XPM picture: its header line, then as many colour lines and pixel rows as it announces.
void AddCarFrames(QCryptographicHash& digest) {
    for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
        const char* const* xpm = CarFrameXpm(frame);
        const QList<QByteArray> header = QByteArray(xpm[0]).simplified().split(' ');
        const int lines = 1 + header.value(2).toInt() + header.value(1).toInt();
        for (int line = 0; line < lines; ++line) {
            digest.addData(QByteArray(xpm[line]) + '\n');
        }
    }
}

}  // namespace

QString RulesIdentity() {
    static const QString identity = [] {
        QCryptographicHash digest(QCryptographicHash::Sha256);
        AddTracks(digest);
        AddPieces(digest);
        AddCarFrames(digest);
        return QStringLiteral("%1-%2")
            .arg(RULES_VERSION)
            .arg(QString::fromLatin1(digest.result().toHex().left(DIGEST_HEX_DIGITS)));
    }();
    return identity;
}
