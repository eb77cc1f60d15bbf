#pragma once

// The built-in car pictures: one 20x20 XPM frame per 15-degree heading, frame k pointing 15*k
// degrees clockwise from up. The body is keyed 'o' and stored as black ("o c #000000"), to be
// recoloured per car.
constexpr int CAR_FRAME_COUNT = 24;
constexpr int CAR_FRAME_SIZE = 20;

// The XPM data of frame 0..23; nullptr for any other frame number.
const char* const* CarFrameXpm(int frame);
