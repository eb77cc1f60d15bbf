#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "track/ImageItem.h"

class QGraphicsScene;
class QWidget;

// The preview pictures of the fifteen built-in tracks, one hidden canvas item each, loaded from
// the pictures directory. A picture that cannot be read is replaced by the built-in "not
// available" picture; most such failures are reported to the player.
class TrackPreviews {
  public:
    // pictureDir ends with a slash.
    TrackPreviews(QGraphicsScene* canvas, QWidget* messageParent, QString pictureDir);
    ~TrackPreviews();
    TrackPreviews(const TrackPreviews&) = delete;
    TrackPreviews& operator=(const TrackPreviews&) = delete;

    // Builds the fifteen items, replacing any built before.
    void Load();
    // The preview of track index 0..14; null for any other index or before Load.
    ImageItem* Item(int track) const;

    static QString FileName(int track);

  private:
    void ReportMissing(int track) const;

    QGraphicsScene* canvas;
    QWidget* messageParent;
    QString pictureDir;
    std::vector<std::unique_ptr<ImageItem>> items;
};
