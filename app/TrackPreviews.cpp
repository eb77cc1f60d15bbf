#include "app/TrackPreviews.h"

#include <QFile>
#include <QImageReader>
#include <utility>

#include "app/Globals.h"
#include "app/Vantor.h"
#include "graphics/VantorImages.h"
#include "platform/GameFacts.h"
#include "platform/MessageBox.h"
#include "platform/TrustedFile.h"

namespace {

const QString PREVIEW_FOLDER = QStringLiteral("track_pics/");
// Files after this one are replaced without a word.
constexpr int LAST_REPORTED_FILE = 13;
const QSize LARGEST_PREVIEW(Vantor::WINDOW_WIDTH, Vantor::WINDOW_HEIGHT);

// A preview file opened by the trusted-file rules, its header read.
class PreviewFile {
  public:
    explicit PreviewFile(const QString& path)
        : file(TrustedFile::Open(path, TrackPreviews::MAX_FILE_BYTES).file) {
        if (file != nullptr) {
            reader.setDevice(file.get());
        }
    }

    // A picture in a format the game reads, no larger than a preview.
    bool Fits() {
        if (file == nullptr || !reader.canRead()) {
            return false;
        }
        const QSize size = reader.size();
        return size.isValid() && size.width() <= LARGEST_PREVIEW.width() &&
               size.height() <= LARGEST_PREVIEW.height();
    }

    // Null when it does not fit or cannot be decoded.
    QImage Decoded() { return Fits() ? reader.read() : QImage(); }

  private:
    std::unique_ptr<QFile> file;
    QImageReader reader;
};

}  // namespace

TrackPreviews::TrackPreviews(QGraphicsScene* canvas, QWidget* messageParent, QString pictureDir)
    : canvas(canvas), messageParent(messageParent), pictureDir(std::move(pictureDir)) {}

TrackPreviews::~TrackPreviews() = default;

QString TrackPreviews::FileName(int track) {
    return QStringLiteral("TrackPix%1.png").arg(track + 1);
}

QString TrackPreviews::PathOf(int track) const {
    return pictureDir + PREVIEW_FOLDER + FileName(track);
}

bool TrackPreviews::Load() {
    previews.clear();
    previews.resize(TRACK_COUNT);
    for (int track = 0; track < TRACK_COUNT; ++track) {
        // A damaged header counts as a missing file.
        previews[std::size_t(track)].readable = PreviewFile(PathOf(track)).Fits();
        if (!previews[std::size_t(track)].readable && !ReportMissing(track)) {
            return false;
        }
    }
    return true;
}

bool TrackPreviews::ReportMissing(int track) const {
    const int fileNumber = track + 1;
    if (fileNumber == 1) {
        // Without the first picture the whole folder is most likely missing.
        ShowWarning(messageParent, GAME_NAME, "Could not load Track Images from " + pictureDir,
                    "Quit");
        return false;
    }
    if (fileNumber <= LAST_REPORTED_FILE) {
        ShowWarning(messageParent, GAME_NAME, "Could not load Track Image " + FileName(track),
                    "OK");
    }
    return true;
}

ImageItem* TrackPreviews::Item(int track) const {
    if (track < 0 || track >= int(previews.size())) {
        return nullptr;
    }
    Preview& preview = previews[std::size_t(track)];
    if (preview.item == nullptr) {
        QImage image;
        if (preview.readable) {
            image = PreviewFile(PathOf(track)).Decoded();
            // No box while the menu is in use: the built-in picture says it well enough.
            if (image.isNull()) {
                qWarning("vantor: %s could not be decoded; the built-in picture stands in for it",
                         qPrintable(PathOf(track)));
            }
        }
        if (image.isNull()) {
            image = vantorImages->GetImage(VantorImages::TRACK_NOT_AVAILABLE);
        }
        preview.item = std::make_unique<ImageItem>(image, canvas);
        preview.item->setPos(0, 0);
        preview.item->setZValue(0);
    }
    return preview.item.get();
}
