#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include <engine/core/Rectangle.h>

namespace Engine {

/// An image decoded to 8-bit RGBA, four bytes a pixel, its rows flipped so the
/// first row in memory is the bottom row of the picture (v = 0). Needs no GL.
///
/// The editing calls (GetPixel, SetPixel, FillRect, Draw, Cropped, ...) take
/// coordinates as Draw does: from the picture's top-left pixel, x to the
/// right, y down. Only Pixels() shows the rows bottom first.
class Image {
public:
    /// One pixel's colour, 0 to 255 a channel. Made from any colour with
    /// members r, g, b and a, such as the Color of Draw (RED, BLANK, ...).
    struct Rgba {
        uint8_t r = 0;   ///< Red.
        uint8_t g = 0;   ///< Green.
        uint8_t b = 0;   ///< Blue.
        uint8_t a = 255; ///< Opacity.
        constexpr Rgba() = default; ///< Opaque black.
        /// The colour of these channels.
        constexpr Rgba(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255)
            : r(red), g(green), b(blue), a(alpha) {}
        /// The same colour as c.
        template <class C>
            requires requires(const C& c) { c.r, c.g, c.b, c.a; }
        constexpr Rgba(const C& c) : r(c.r), g(c.g), b(c.b), a(c.a) {}
        bool operator==(const Rgba&) const = default; ///< Every channel equal.
    };

    /// A rectangle of whole pixels, its top-left corner at (x, y). Made from
    /// a Rectangle too, its edges rounded to the nearest pixel.
    struct Area {
        int x = 0;      ///< Left column.
        int y = 0;      ///< Top row.
        int width = 0;  ///< Columns; none when not above 0.
        int height = 0; ///< Rows; none when not above 0.
        constexpr Area() = default; ///< No pixel.
        /// The pixels from (left, top), columns across and rows down.
        constexpr Area(int left, int top, int columns, int rows)
            : x(left), y(top), width(columns), height(rows) {}
        /// The pixels of r, its edges rounded.
        Area(const Rectangle& r)
            : x(Whole(r.x)), y(Whole(r.y)), width(Whole(r.x + r.width) - x),
              height(Whole(r.y + r.height) - y) {}

    private:
        // Far past any image, so that sums of coordinates stay in range; NaN is 0.
        static int Whole(double v) {
            constexpr double limit = 1 << 29;
            return v >= -limit ? (v <= limit ? static_cast<int>(std::floor(v + 0.5)) : 1 << 29)
                               : (v < 0 ? -(1 << 29) : 0);
        }
    };

    /// Images larger than this on a side are refused before any pixel is
    /// decoded: no texture can hold them, and a few header bytes could
    /// otherwise ask for gigabytes.
    static constexpr int MAX_SIDE = 16384;

    Image() = default; ///< Empty.
    /// Takes other's pixels, leaving it empty (0 by 0).
    Image(Image&& other) noexcept
        : m_width(std::exchange(other.m_width, 0)), m_height(std::exchange(other.m_height, 0)),
          m_pixels(std::move(other.m_pixels)), m_error(std::move(other.m_error)) {}
    /// Takes other's pixels, leaving it empty (0 by 0).
    Image& operator=(Image&& other) noexcept {
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
        m_pixels = std::move(other.m_pixels);
        m_error = std::move(other.m_error);
        return *this;
    }
    /// A picture of width by height pixels, all clear (every byte 0), to be
    /// filled through Pixels(). Empty, Error() saying why, when a side is
    /// below 1 or above MAX_SIDE.
    Image(int width, int height);
    /// A picture of width by height pixels, all of colour fill. Empty as the
    /// one above when a side is out of range.
    Image(int width, int height, Rgba fill);

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

    /// The pixel at column x, row y from the top; clear (all 0) outside.
    Rgba GetPixel(int x, int y) const {
        if (!Holds(x, y))
            return {0, 0, 0, 0};
        const unsigned char* p = At(x, y);
        return {p[0], p[1], p[2], p[3]};
    }
    /// Sets the pixel at column x, row y from the top, replacing it, alpha
    /// and all; nothing outside the picture.
    void SetPixel(int x, int y, Rgba color) {
        if (!Holds(x, y))
            return;
        unsigned char* p = At(x, y);
        p[0] = color.r, p[1] = color.g, p[2] = color.b, p[3] = color.a;
    }
    /// Sets every pixel of area that lies in the picture to color, replacing
    /// them as SetPixel does.
    void FillRect(Area area, Rgba color);
    /// Draws the pixels of source in src over the pixels of dest in this
    /// picture, stretched to dest nearest pixel first, blended by their alpha
    /// (an opaque pixel replaces, a clear one leaves what is there). Parts of
    /// either rectangle outside its picture are left out, the rest keeping
    /// its place. src may be this picture.
    void Draw(const Image& src, Area source, Area dest);
    /// The whole of src drawn with its top-left corner at (x, y), unstretched.
    void Draw(const Image& src, int x, int y);

    /// The pixels of area that lie in the picture, as a picture of their own.
    /// Empty, Error() saying why, when none does.
    Image Cropped(Area area) const;
    /// The picture stretched or shrunk to width by height, nearest pixel
    /// first. Empty, Error() saying why, when a side is out of range as in
    /// Image(width, height) or this image is empty.
    Image Resized(int width, int height) const;
    Image FlippedHorizontal() const; ///< Left and right swapped.
    Image FlippedVertical() const;   ///< Top and bottom swapped.
    Image RotatedCW() const;         ///< Turned a quarter clockwise: the left column is the top row.
    Image RotatedCCW() const; ///< Turned a quarter counter-clockwise: the top row is the left column.

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
    // Inline, as a loop over every pixel calls it for each. An empty image is 0 by 0.
    bool Holds(int x, int y) const {
        return unsigned(x) < unsigned(m_width) && unsigned(y) < unsigned(m_height);
    }
    // The pixel at (x, y) from the top-left, which must lie in the picture.
    unsigned char* At(int x, int y) const {
        return m_pixels.get() + (size_t(m_height - 1 - y) * size_t(m_width) + size_t(x)) * 4;
    }
    // An image of width by height whose every pixel is pick(x, y) of this one.
    template <class Pick>
    Image Mapped(int width, int height, Pick pick) const;

    struct Free {
        void operator()(unsigned char* pixels) const;
    };
    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<unsigned char, Free> m_pixels;
    std::string m_error;
};

} // namespace Engine
