#pragma once

#include <engine/image/Image.h>

namespace Engine {

// The side of one frame of the boat's sprite sheet, in pixels.
constexpr int BOAT_FRAME = 64;

// The sheet's first frame, its top-left BOAT_FRAME square, bottom row first as
// every Image: the boat as the window's icon and the desktop's icons show it.
// Empty when the sheet is smaller than a frame.
Image BoatFrame(const Image& sheet);

} // namespace Engine
