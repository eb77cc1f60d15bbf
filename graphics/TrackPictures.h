#pragma once

// The thirteen built-in pictures of the track pieces, each 75x73.
enum class TrackPicture {
    Grass,
    VerticalTrack,
    VerticalBridge,
    HorizontalTrack,
    HorizontalBridge,
    HorizontalStart,
    UpperRight,
    LowerRight,
    UpperLeft,
    LowerLeft,
    VerticalStart,
    VerticalStartBridge,
    UpperRightStart
};

constexpr int TRACK_PICTURE_COUNT = 13;

// The XPM data of a picture.
const char* const* TrackPictureXpm(TrackPicture picture);
