#include "graphics/VantorImages.h"

#include "graphics/xpm/race_completed.xpm"
#include "graphics/xpm/race_won.xpm"
#include "graphics/xpm/start_logo.xpm"
#include "graphics/xpm/track_not_available.xpm"

const char* const* const VantorImages::startLogo = start_logo_xpm;
const char* const* const VantorImages::raceWon = race_won_xpm;
const char* const* const VantorImages::raceCompleted = race_completed_xpm;
const char* const* const VantorImages::trackNotAvailable = track_not_available_xpm;

QImage VantorImages::GetImage(VANTORIMAGE image) const {
    // In the order of the enumeration.
    const char* const* const pictures[] = {startLogo, raceWon, raceCompleted, trackNotAvailable};
    const bool known = image >= START_LOGO && image <= TRACK_NOT_AVAILABLE;
    return QImage(pictures[known ? image : START_LOGO]);
}
