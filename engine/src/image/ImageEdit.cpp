#include <engine/image/Image.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Engine {

namespace {

// The columns (or rows) of [from, from + count) that also lie in [0, size), in
// 64 bits: an area's corner plus its size may pass the int range.
struct Span {
    int first = 0, end = 0;
    bool Empty() const { return first >= end; }
};

Span Cut(int from, int count, int size) {
    const long long first = std::max<long long>(from, 0);
    const long long end = std::min<long long>(static_cast<long long>(from) + count, size);
    return first < end ? Span{int(first), int(end)} : Span{};
}

// Straight (not premultiplied) alpha: src over dst.
void Blend(unsigned char* dst, const unsigned char* src) {
    const unsigned sa = src[3];
    if (sa == 255) {
        std::memcpy(dst, src, 4);
        return;
    }
    if (sa == 0)
        return;
    const unsigned da = (dst[3] * (255 - sa) + 127) / 255;
    const unsigned out = sa + da;
    for (int c = 0; c < 3; ++c)
        dst[c] = static_cast<unsigned char>((src[c] * sa + dst[c] * da + out / 2) / out);
    dst[3] = static_cast<unsigned char>(out);
}

} // namespace

Image::Image(int width, int height, Rgba fill) : Image(width, height) {
    FillRect({0, 0, width, height}, fill);
}

void Image::FillRect(Area area, Rgba color) {
    const Span xs = Cut(area.x, area.width, m_width), ys = Cut(area.y, area.height, m_height);
    if (Empty() || xs.Empty() || ys.Empty())
        return;
    const unsigned char rgba[4] = {color.r, color.g, color.b, color.a};
    // One row filled, the others copied from it: rows are contiguous.
    unsigned char* first = At(xs.first, ys.first);
    for (int x = xs.first; x < xs.end; ++x)
        std::memcpy(first + size_t(x - xs.first) * 4, rgba, 4);
    const size_t bytes = size_t(xs.end - xs.first) * 4;
    for (int y = ys.first + 1; y < ys.end; ++y)
        std::memcpy(At(xs.first, y), first, bytes);
}

void Image::Draw(const Image& src, Area source, Area dest) {
    if (&src == this) {
        // Source and destination may overlap: read from a copy.
        const Image copy = Cropped({0, 0, m_width, m_height});
        Draw(copy, source, dest);
        return;
    }
    if (Empty() || src.Empty() || source.width <= 0 || source.height <= 0)
        return;
    const Span xs = Cut(dest.x, dest.width, m_width), ys = Cut(dest.y, dest.height, m_height);
    if (xs.Empty() || ys.Empty())
        return;
    // Each destination pixel takes the source pixel its centre falls on; -1
    // where that lies outside src.
    auto map = [](int d, int destFrom, int destCount, int srcFrom, int srcCount, int srcSize) {
        const long long s =
            srcFrom + ((2LL * (d - destFrom) + 1) * srcCount) / (2LL * destCount);
        return s >= 0 && s < srcSize ? int(s) : -1;
    };
    std::vector<int> columns(size_t(xs.end - xs.first));
    for (int x = xs.first; x < xs.end; ++x)
        columns[size_t(x - xs.first)] =
            map(x, dest.x, dest.width, source.x, source.width, src.m_width);
    for (int y = ys.first; y < ys.end; ++y) {
        const int sy = map(y, dest.y, dest.height, source.y, source.height, src.m_height);
        if (sy < 0)
            continue;
        unsigned char* to = At(xs.first, y);
        const unsigned char* from = src.At(0, sy);
        for (int sx : columns) {
            if (sx >= 0)
                Blend(to, from + size_t(sx) * 4);
            to += 4;
        }
    }
}

void Image::Draw(const Image& src, int x, int y) {
    Draw(src, {0, 0, src.m_width, src.m_height}, {x, y, src.m_width, src.m_height});
}

template <class Pick>
Image Image::Mapped(int width, int height, Pick pick) const {
    if (Empty()) {
        Image out;
        out.m_error = "no picture to change";
        return out;
    }
    Image out(width, height);
    if (out.Empty())
        return out;
    for (int y = 0; y < height; ++y) {
        unsigned char* to = out.At(0, y);
        for (int x = 0; x < width; ++x, to += 4)
            std::memcpy(to, pick(x, y), 4);
    }
    return out;
}

Image Image::Cropped(Area area) const {
    const Span xs = Cut(area.x, area.width, m_width), ys = Cut(area.y, area.height, m_height);
    if (!Empty() && (xs.Empty() || ys.Empty())) {
        Image out;
        out.m_error = "no pixel of the picture in the area to crop";
        return out;
    }
    return Mapped(xs.end - xs.first, ys.end - ys.first,
                  [&](int x, int y) { return At(xs.first + x, ys.first + y); });
}

Image Image::Resized(int width, int height) const {
    // Centres map to centres, so shrinking by a whole factor picks every n-th pixel.
    return Mapped(width, height, [&](int x, int y) {
        return At(int((2LL * x + 1) * m_width / (2LL * width)),
                  int((2LL * y + 1) * m_height / (2LL * height)));
    });
}

Image Image::FlippedHorizontal() const {
    return Mapped(m_width, m_height, [&](int x, int y) { return At(m_width - 1 - x, y); });
}

Image Image::FlippedVertical() const {
    return Mapped(m_width, m_height, [&](int x, int y) { return At(x, m_height - 1 - y); });
}

Image Image::RotatedCW() const {
    return Mapped(m_height, m_width, [&](int x, int y) { return At(y, m_height - 1 - x); });
}

Image Image::RotatedCCW() const {
    return Mapped(m_height, m_width, [&](int x, int y) { return At(m_width - 1 - y, x); });
}

} // namespace Engine
