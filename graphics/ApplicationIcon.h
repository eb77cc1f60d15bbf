#pragma once

#include <QIcon>
#include <QImage>
#include <array>

// The application's icon, drawn from the game's own pictures: the player's car crossing the start
// line. The pixel art is enlarged in whole steps without smoothing, so it stays sharp.
class ApplicationIcon {
  public:
    // The sizes the desktop's icon theme gets, square, in pixels.
    static constexpr std::array<int, 6> SIZES{16, 32, 48, 64, 128, 256};
    // The size drawn for the window when the icon theme's pictures cannot be found.
    static constexpr int WINDOW_FALLBACK_SIZE = 48;

    ApplicationIcon();

    // The icon at size x size pixels; size is positive.
    QImage Picture(int size) const;
    // Where the icon of a size lies in an icon theme's folder, such as hicolor.
    static QString ThemeFile(int size);
    // For the window: the pictures drawn at build time into an icon theme's folder, read when the
    // window needs them; one small size drawn here when they are missing.
    static QIcon WindowIcon(const QString& themeDir);

  private:
    QImage scene;
};
