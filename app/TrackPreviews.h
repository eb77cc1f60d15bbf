#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "track/ImageItem.h"

class QGraphicsScene;
class QWidget;

// The preview pictures of the fifteen built-in tracks, one hidden canvas item each, read from the
// pictures directory. A file is read by the rules of platform/TrustedFile.h (only a regular file or
// a link to one, never opened in a way that blocks) and its picture's size is read from its header
// before anything is decoded: a picture larger than the handheld's screen could never be seen whole
// and is not a preview. At start-up the files are only looked at, and those that cannot be
// previews reported; each picture is decoded when it is first shown. A picture that cannot be read
// is replaced by the built-in "not available" picture.
class TrackPreviews {
  public:
    // Far above any picture of the handheld's screen size.
    static constexpr qint64 MAX_FILE_BYTES = 2 * 1024 * 1024;

    // pictureDir ends with a slash.
    TrackPreviews(QGraphicsScene* canvas, QWidget* messageParent, QString pictureDir);
    ~TrackPreviews();
    TrackPreviews(const TrackPreviews&) = delete;
    TrackPreviews& operator=(const TrackPreviews&) = delete;

    // Looks at the fifteen files, replacing what an earlier call found, and tells the player of
    // those that cannot be previews. False when the player was told the first one is missing: that
    // box offers only to quit, and nothing after it is looked at.
    bool Load();
    // The preview of track index 0..14, decoded and put on the canvas when first asked for (the
    // start screen asks as it shows it); null for any other index or before Load. A file that
    // looked fine at start-up but cannot be decoded now shows the built-in picture. Made then, an
    // item lies over the items of its depth made before it: the start screen asks for its first
    // preview before it makes its logo, and hides the logo before it steps to another track.
    ImageItem* Item(int track) const;

    static QString FileName(int track);

  private:
    struct Preview {
        bool readable = false;  // as Load found it
        std::unique_ptr<ImageItem> item;
    };

    QString PathOf(int track) const;
    // False when the player's only answer was to quit.
    bool ReportMissing(int track) const;

    QGraphicsScene* canvas;
    QWidget* messageParent;
    QString pictureDir;
    // Items are made as they are first asked for.
    mutable std::vector<Preview> previews;
};
