#include "graphics/TrackPictures.h"

#include <array>
#include <cstddef>

#include "graphics/xpm/grass.xpm"
#include "graphics/xpm/horizontal_bridge.xpm"
#include "graphics/xpm/horizontal_start.xpm"
#include "graphics/xpm/horizontal_track.xpm"
#include "graphics/xpm/lower_left.xpm"
#include "graphics/xpm/lower_right.xpm"
#include "graphics/xpm/upper_left.xpm"
#include "graphics/xpm/upper_right.xpm"
#include "graphics/xpm/upper_right_start.xpm"
#include "graphics/xpm/vertical_bridge.xpm"
#include "graphics/xpm/vertical_start.xpm"
#include "graphics/xpm/vertical_start_bridge.xpm"
#include "graphics/xpm/vertical_track.xpm"

namespace {

struct PictureData {
    TrackPicture picture;
    const char* const* xpm;
};

// Listed in the order of the enum, which the check below holds to.
constexpr std::array<PictureData, TRACK_PICTURE_COUNT> kPictures{{
    {TrackPicture::Grass, grass_xpm},
    {TrackPicture::VerticalTrack, vertical_track_xpm},
    {TrackPicture::VerticalBridge, vertical_bridge_xpm},
    {TrackPicture::HorizontalTrack, horizontal_track_xpm},
    {TrackPicture::HorizontalBridge, horizontal_bridge_xpm},
    {TrackPicture::HorizontalStart, horizontal_start_xpm},
    {TrackPicture::UpperRight, upper_right_xpm},
    {TrackPicture::LowerRight, lower_right_xpm},
    {TrackPicture::UpperLeft, upper_left_xpm},
    {TrackPicture::LowerLeft, lower_left_xpm},
    {TrackPicture::VerticalStart, vertical_start_xpm},
    {TrackPicture::VerticalStartBridge, vertical_start_bridge_xpm},
    {TrackPicture::UpperRightStart, upper_right_start_xpm},
}};

constexpr bool InEnumOrder() {
    for (std::size_t i = 0; i < kPictures.size(); ++i) {
        if (static_cast<std::size_t>(kPictures[i].picture) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InEnumOrder(), "kPictures must list the pictures in the order of TrackPicture");

}  // namespace

const char* const* TrackPictureXpm(TrackPicture picture) {
    const auto index = static_cast<std::size_t>(picture);
    return index < kPictures.size() ? kPictures[index].xpm : nullptr;
}
