#include "app/TrackPreviews.h"

#include <utility>

#include "app/Globals.h"
#include "graphics/VantorImages.h"
#include "platform/GameFacts.h"
#include "platform/MessageBox.h"

namespace {

const QString PREVIEW_FOLDER = QStringLiteral("track_pics/");
// Files after this one are replaced without a word.
constexpr int LAST_REPORTED_FILE = 13;

}  // namespace

TrackPreviews::TrackPreviews(QGraphicsScene* canvas, QWidget* messageParent, QString pictureDir)
    : canvas(canvas), messageParent(messageParent), pictureDir(std::move(pictureDir)) {}

TrackPreviews::~TrackPreviews() = default;

QString TrackPreviews::FileName(int track) {
    return QStringLiteral("TrackPix%1.png").arg(track + 1);
}

void TrackPreviews::Load() {
    items.clear();
    QImage image;
    for (int track = 0; track < TRACK_COUNT; ++track) {
        // A corrupt file fails to load just like a missing one.
        if (!image.load(pictureDir + PREVIEW_FOLDER + FileName(track))) {
            ReportMissing(track);
            image = vantorImages->GetImage(VantorImages::TRACK_NOT_AVAILABLE);
        }
        auto item = std::make_unique<ImageItem>(image, canvas);
        item->setPos(0, 0);
        item->setZValue(0);
        items.push_back(std::move(item));
    }
}

void TrackPreviews::ReportMissing(int track) const {
    const int fileNumber = track + 1;
    if (fileNumber == 1) {
        // Without the first picture the whole folder is most likely missing.
        ShowWarning(messageParent, GAME_NAME, "Could not load Track Images from " + pictureDir,
                    "Quit");
    } else if (fileNumber <= LAST_REPORTED_FILE) {
        ShowWarning(messageParent, GAME_NAME, "Could not load Track Image " + FileName(track),
                    "OK");
    }
}

ImageItem* TrackPreviews::Item(int track) const {
    if (track < 0 || track >= int(items.size())) {
        return nullptr;
    }
    return items[std::size_t(track)].get();
}
