#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace Engine {

// An image decoded to 8-bit RGBA, four bytes a pixel, its rows flipped so the
// first row in memory is the bottom row of the picture (v = 0). Needs no GL.
class Image {
public:
    // Images larger than this on a side are refused before any pixel is
    // decoded: no texture can hold them, and a few header bytes could
    // otherwise ask for gigabytes.
    static constexpr int MAX_SIDE = 16384;

    Image() = default;

    // Any format the image decoder reads. On failure the image is empty and
    // Error() says why.
    static Image Decode(const unsigned char* bytes, size_t size);
    // Decode on a whole file; only regular files are read.
    static Image Load(const std::string& path);

    bool Empty() const { return !m_pixels; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const unsigned char* Pixels() const { return m_pixels.get(); }
    const std::string& Error() const { return m_error; }

private:
    struct Free {
        void operator()(unsigned char* pixels) const;
    };
    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<unsigned char, Free> m_pixels;
    std::string m_error;
};

} // namespace Engine
