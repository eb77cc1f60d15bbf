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

    ApplicationIcon();

    // The icon at size x size pixels; size is positive.
    QImage Picture(int size) const;
    // Every size, for the window.
    QIcon Icon() const;

  private:
    QImage scene;
};
