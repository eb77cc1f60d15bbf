#include "graphics/CarFrames.h"

#include "graphics/xpm/car_frames.xpm"

namespace {

const char* const* const kCarFrames[CAR_FRAME_COUNT] = {
    CarPic00, CarPic01, CarPic02, CarPic03, CarPic04, CarPic05, CarPic06, CarPic07,
    CarPic08, CarPic09, CarPic10, CarPic11, CarPic12, CarPic13, CarPic14, CarPic15,
    CarPic16, CarPic17, CarPic18, CarPic19, CarPic20, CarPic21, CarPic22, CarPic23,
};

}  // namespace

const char* const* CarFrameXpm(int frame) {
    return frame >= 0 && frame < CAR_FRAME_COUNT ? kCarFrames[frame] : nullptr;
}
