#pragma once

#include <QDir>
#include <QGraphicsView>
#include <QTemporaryDir>

#include "app/Vantor.h"
#include "race/VantorScreen.h"
#include "screens/EndScreen.h"
#include "screens/LevelSelectBox.h"
#include "screens/StartScreen.h"
#include "track/ImageItem.h"

// A pictures directory in a temporary folder with the fifteen track previews, each a plain
// picture in a colour of its own.
struct PreviewDirectory : QTemporaryDir {
    PreviewDirectory();
    // With its trailing slash, as the game takes it.
    QString Path() const { return path() + '/'; }
};

// Points the settings store, and the replays folder beside it, at an empty temporary folder. The
// stores look at these variables each time they open.
struct TemporaryConfigHome : QTemporaryDir {
    // In `parent`, when given: a folder in memory spares a test that saves often the disk's syncs.
    explicit TemporaryConfigHome(const QString& parent = QDir::tempPath())
        : QTemporaryDir(parent + QStringLiteral("/vantor-XXXXXX")) {
        qputenv("XDG_CONFIG_HOME", path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (path() + QStringLiteral("/data")).toLocal8Bit());
    }
    QString RecordsFile() const { return path() + QStringLiteral("/Vantor.ini"); }
};

// The game's screens and canvas, found among the main widget's children; null where missing.
struct GameScreens {
    explicit GameScreens(Vantor& game)
        : start(game.findChild<StartScreen*>()),
          race(game.findChild<VantorScreen*>()),
          end(game.findChild<EndScreen*>()),
          canvas(start != nullptr ? start->findChild<QGraphicsView*>()->scene() : nullptr) {}

    StartScreen* start;
    VantorScreen* race;
    EndScreen* end;
    QGraphicsScene* canvas;
};

template <typename Item>
QList<Item*> ItemsOf(const QGraphicsScene& canvas) {
    QList<Item*> found;
    for (QGraphicsItem* item : canvas.items())
        if (auto* wanted = dynamic_cast<Item*>(item))
            found.append(wanted);
    return found;
}

// The index of the one track preview on show through the global game; -1 when none is shown and
// -2 when more than one is.
int ShownPreview();
