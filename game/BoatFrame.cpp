#include "game/BoatFrame.h"

#include <cstring>

namespace Engine {

Image BoatFrame(const Image& sheet) {
    if (sheet.Width() < BOAT_FRAME || sheet.Height() < BOAT_FRAME)
        return {};
    Image frame(BOAT_FRAME, BOAT_FRAME);
    // The sheet's top rows are the last in memory.
    const int top = sheet.Height() - BOAT_FRAME;
    for (int y = 0; y < BOAT_FRAME; ++y)
        std::memcpy(frame.Pixels() + size_t(y) * BOAT_FRAME * 4,
                    sheet.Pixels() + (size_t(top + y) * size_t(sheet.Width())) * 4,
                    size_t(BOAT_FRAME) * 4);
    return frame;
}

} // namespace Engine
