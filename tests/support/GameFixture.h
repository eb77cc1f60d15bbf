#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QTemporaryDir>

class EndScreen;
class ImageItem;
class LevelSelectBox;
class QGraphicsScene;
class StartScreen;
class Vantor;
class VantorScreen;

// A pictures directory in a temporary folder with the fifteen track previews, each a plain
// picture in a colour of its own.
class PreviewDirectory {
  public:
    static constexpr int PREVIEW_WIDTH = 225;
    static constexpr int PREVIEW_HEIGHT = 140;

    PreviewDirectory();
    // With its trailing slash, as the game takes it.
    QString Path() const { return directory.path() + '/'; }

  private:
    QTemporaryDir directory;
};

// Points the settings store at an empty temporary folder. Construct it before any store is opened
// in the process: the store's location is fixed on first use.
class TemporaryConfigHome {
  public:
    TemporaryConfigHome();
    QString Path() const { return directory.path(); }
    QString RecordsFile() const { return directory.path() + QStringLiteral("/Vantor.ini"); }

  private:
    QTemporaryDir directory;
};

// The game's screens and canvas, found among the main widget's children; null where missing.
struct GameScreens {
    explicit GameScreens(Vantor& game);

    StartScreen* start = nullptr;
    VantorScreen* race = nullptr;
    EndScreen* end = nullptr;
    QGraphicsScene* canvas = nullptr;
};

// The menu texts on the canvas, and the one with this text (null when there is none).
QList<LevelSelectBox*> MenuTexts(const QGraphicsScene& canvas);
LevelSelectBox* MenuText(const QGraphicsScene& canvas, const QString& text);

// The index of the one track preview on show through the global game; -1 when none is shown and
// -2 when more than one is.
int ShownPreview();

// The start logo on the canvas, told by its size; null when there is none.
ImageItem* StartLogo(const QGraphicsScene& canvas);
