// Makes the desktop icons from the first frame of the player's boat sheet.
//
//   gen_icons <boat-sheet.png> <output directory>
//
// writes sailhop-48.png, sailhop-64.png, sailhop-128.png and sailhop-256.png. Every size is an
// area filter of the 64 by 64 frame: each output pixel is the average of the source area it
// covers, weighted by alpha so that transparent pixels lend no colour to the edge. That averages
// down to 48 and, at the whole-number factors up, copies each pixel into a square block, which
// keeps the sprite's edges sharp. Integer arithmetic only, so the files are the same on every
// machine.

#include <stb_image_write.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <engine/image/Image.h>

#include "game/BoatFrame.h"

namespace {

constexpr int kSizes[] = {48, 64, 128, 256};

struct Image {
    int size = 0; // square
    std::vector<uint8_t> rgba;
};

// How much of source pixel `s` output pixel `o` covers along one axis, measured in 1/to of a
// source pixel so that every bound is whole: output pixel `o` spans [o * from, (o + 1) * from)
// and source pixel `s` spans [s * to, (s + 1) * to).
int64_t Overlap(int o, int s, int from, int to) {
    const int64_t lo = std::max<int64_t>(int64_t(o) * from, int64_t(s) * to);
    const int64_t hi = std::min<int64_t>(int64_t(o + 1) * from, int64_t(s + 1) * to);
    return hi > lo ? hi - lo : 0;
}

// Rounded quotient of non-negative numbers.
int64_t DivRound(int64_t n, int64_t d) {
    return (n + d / 2) / d;
}

Image Resample(const Image& src, int to) {
    const int from = src.size;
    Image out{to, std::vector<uint8_t>(size_t(to) * to * 4)};
    for (int oy = 0; oy < to; ++oy) {
        // Source rows this output row covers.
        const int sy0 = oy * from / to, sy1 = std::min(from - 1, ((oy + 1) * from - 1) / to);
        for (int ox = 0; ox < to; ++ox) {
            const int sx0 = ox * from / to, sx1 = std::min(from - 1, ((ox + 1) * from - 1) / to);
            int64_t area = 0, alpha = 0, colour[3] = {0, 0, 0};
            for (int sy = sy0; sy <= sy1; ++sy) {
                const int64_t wy = Overlap(oy, sy, from, to);
                for (int sx = sx0; sx <= sx1; ++sx) {
                    const int64_t w = wy * Overlap(ox, sx, from, to);
                    const uint8_t* p = &src.rgba[size_t(4 * (sy * from + sx))];
                    area += w;
                    alpha += w * p[3];
                    for (int c = 0; c < 3; ++c)
                        colour[c] += w * p[3] * p[c];
                }
            }
            uint8_t* q = &out.rgba[size_t(4 * (oy * to + ox))];
            for (int c = 0; c < 3; ++c)
                q[c] = alpha > 0 ? uint8_t(DivRound(colour[c], alpha)) : 0;
            q[3] = uint8_t(DivRound(alpha, area));
        }
    }
    return out;
}

// The boat's first frame, cut as the game cuts its window icon; top row first, as the files
// have it.
bool LoadFrame(const std::string& path, Image& frame) {
    const Engine::Image sheet = Engine::Image::Load(path);
    if (sheet.Empty()) {
        std::fprintf(stderr, "gen_icons: cannot read %s: %s\n", path.c_str(), sheet.Error().c_str());
        return false;
    }
    const Engine::Image cut = Engine::BoatFrame(sheet);
    if (cut.Empty()) {
        std::fprintf(stderr, "gen_icons: %s is %dx%d, smaller than one %dx%d frame\n", path.c_str(),
                     sheet.Width(), sheet.Height(), Engine::BOAT_FRAME, Engine::BOAT_FRAME);
        return false;
    }
    const size_t row = size_t(cut.Width()) * 4;
    frame.size = cut.Width();
    frame.rgba.resize(row * size_t(cut.Height()));
    for (int y = 0; y < cut.Height(); ++y)
        std::memcpy(&frame.rgba[size_t(y) * row], cut.Pixels() + size_t(cut.Height() - 1 - y) * row,
                    row);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <boat-sheet.png> <output directory>\n",
                     argc > 0 ? argv[0] : "gen_icons");
        return 2;
    }
    Image frame;
    if (!LoadFrame(argv[1], frame))
        return 1;
    bool ok = true;
    for (int size : kSizes) {
        const Image icon = Resample(frame, size);
        const std::string path = std::string(argv[2]) + "/sailhop-" + std::to_string(size) + ".png";
        if (!stbi_write_png(path.c_str(), size, size, 4, icon.rgba.data(), size * 4)) {
            std::fprintf(stderr, "gen_icons: could not write %s\n", path.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
