#pragma once

#include <QImage>

// The built-in pictures of the screens: the start logo, the two race results and the stand-in for a
// missing track preview. Each request converts the picture afresh; callers keep their copy.
class VantorImages {
  public:
    // The fixed underlying type makes every int a valid value, so an unknown one is well defined.
    enum VANTORIMAGE : int { START_LOGO, RACE_WON, RACE_COMPLETED, TRACK_NOT_AVAILABLE };

    VantorImages() = default;

    // Any value outside the enumeration gives the start logo.
    QImage GetImage(VANTORIMAGE image) const;

  private:
    static const char* const* const startLogo;
    static const char* const* const raceWon;
    static const char* const* const raceCompleted;
    static const char* const* const trackNotAvailable;
};
