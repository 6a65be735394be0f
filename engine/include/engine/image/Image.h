#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Engine {

/// An image decoded to 8-bit RGBA, four bytes a pixel, its rows flipped so the
/// first row in memory is the bottom row of the picture (v = 0). Needs no GL.
class Image {
public:
    /// Images larger than this on a side are refused before any pixel is
    /// decoded: no texture can hold them, and a few header bytes could
    /// otherwise ask for gigabytes.
    static constexpr int MAX_SIDE = 16384;

    Image() = default; ///< Empty.
    /// A picture of width by height pixels, all clear (every byte 0), to be
    /// filled through Pixels(). Empty, Error() saying why, when a side is
    /// below 1 or above MAX_SIDE.
    Image(int width, int height);

    /// What an image's header says of its size.
    struct Info {
        int width = 0;    ///< Pixels.
        int height = 0;   ///< Pixels.
        int channels = 0; ///< Colour channels in the file, alpha included.
        /// Why the data is no image the decoder reads, or one larger than
        /// MAX_SIDE; empty when neither.
        std::string error;
    };
    /// The size the header of any format Decode reads gives, without
    /// decoding a pixel.
    static Info Peek(const unsigned char* bytes, size_t size);

    /// Any format the image decoder reads. On failure the image is empty and
    /// Error() says why.
    static Image Decode(const unsigned char* bytes, size_t size);
    /// Decode on a whole file; only regular files are read.
    static Image Load(const std::string& path);

    /// Makes every pixel of exactly the colour rgb (0xRRGGBB) clear: red,
    /// green, blue and alpha all 0, as a colour key asks. Alpha is not compared.
    void ApplyColorKey(uint32_t rgb);

    /// The picture side by side `across` times and stacked `down` times, as
    /// a repeated picture is shown: few large copies draw faster than many
    /// small ones. Empty, Error() saying why, when a side would pass MAX_SIDE,
    /// a count is below 1 or this image is empty.
    Image Repeated(int across, int down) const;

    /// Writes the picture to a PNG file, top row first as image files have
    /// it, RGBA. False, with a warning naming the file and the reason, when
    /// the image is empty or the file cannot be written.
    bool SavePng(const std::string& path) const;

    bool Empty() const { return !m_pixels; }                       ///< No pixels: decoding failed.
    int Width() const { return m_width; }                          ///< Pixels.
    int Height() const { return m_height; }                        ///< Pixels.
    const unsigned char* Pixels() const { return m_pixels.get(); } ///< RGBA, bottom row first.
    unsigned char* Pixels() { return m_pixels.get(); }             ///< RGBA, bottom row first.
    const std::string& Error() const { return m_error; }           ///< Why it is empty.

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
