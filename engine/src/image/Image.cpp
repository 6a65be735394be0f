#include <engine/image/Image.h>

#include <stb_image.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "image/DecoderGuards.h"

namespace Engine {

void Image::Free::operator()(unsigned char* pixels) const {
    // The decoder allocates with malloc, and so does DecodePnm16.
    std::free(pixels);
}

namespace {

// The decoder's reason for its last failure; some of its failures give none.
std::string FailureReason(const char* fallback) {
    const char* reason = stbi_failure_reason();
    return reason && *reason ? reason : fallback;
}

} // namespace

namespace {

// The decoder reads nothing from a zero length, but still wants a buffer.
const unsigned char* Buffer(const unsigned char* bytes) {
    static const unsigned char none = 0;
    return bytes ? bytes : &none;
}

} // namespace

Image::Image(int width, int height) {
    if (width < 1 || height < 1 || width > MAX_SIDE || height > MAX_SIDE) {
        m_error =
            "no image can be " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
        return;
    }
    m_pixels.reset(static_cast<unsigned char*>(std::calloc(size_t(width) * size_t(height), 4)));
    if (!m_pixels) {
        m_error = "out of memory";
        return;
    }
    m_width = width;
    m_height = height;
}

Image::Info Image::Peek(const unsigned char* bytes, size_t size) {
    Info info;
    if (size > static_cast<size_t>(INT_MAX)) {
        info.error = "image data too long";
        return info;
    }
    if (!stbi_info_from_memory(Buffer(bytes), static_cast<int>(size), &info.width, &info.height,
                               &info.channels)) {
        info.error = FailureReason("not an image");
        return info;
    }
    if (info.width <= 0 || info.height <= 0 || info.width > MAX_SIDE || info.height > MAX_SIDE)
        info.error = "image of " + std::to_string(info.width) + "x" + std::to_string(info.height) +
                     " pixels is larger than " + std::to_string(MAX_SIDE) + " on a side";
    return info;
}

Image Image::Decode(const unsigned char* bytes, size_t size) {
    Image image;
    const Info info = Peek(bytes, size);
    if (!info.error.empty()) {
        image.m_error = info.error;
        return image;
    }
    const int len = static_cast<int>(size);
    const unsigned char* data = Buffer(bytes);
    int w = info.width, h = info.height;
    const int channels = info.channels;
    image.m_error = DecoderGuards::JpegTableFault(data, size);
    if (image.m_error.empty())
        image.m_error = DecoderGuards::EndlessHdrScanline(data, size);
    if (!image.m_error.empty())
        return image;
    unsigned char* pixels = nullptr;
    if (DecoderGuards::IsPNM(data, size) && stbi_is_16_bit_from_memory(data, len)) {
        pixels = DecoderGuards::DecodePnm16(data, size, w, h, channels);
    } else {
        // This thread's own flip setting: images may be decoded on several.
        stbi_set_flip_vertically_on_load_thread(1);
        int fileChannels = 0;
        pixels = stbi_load_from_memory(data, len, &w, &h, &fileChannels, 4);
    }
    if (!pixels) {
        image.m_error = FailureReason("cannot decode");
        return image;
    }
    image.m_pixels.reset(pixels);
    image.m_width = w;
    image.m_height = h;
    return image;
}

Image Image::Load(const std::string& path) {
    Image image;
    std::error_code error;
    // A pipe or a device could be read forever.
    if (!std::filesystem::is_regular_file(path, error)) {
        image.m_error = error ? error.message() : "not a regular file";
        return image;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    if (in.bad()) {
        image.m_error = "cannot read the file";
        return image;
    }
    return Decode(bytes.data(), bytes.size());
}

void Image::ApplyColorKey(uint32_t rgb) {
    unsigned char* p = m_pixels.get();
    const unsigned char r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    const size_t count = p ? size_t(m_width) * size_t(m_height) : 0;
    for (size_t i = 0; i < count; ++i, p += 4)
        if (p[0] == r && p[1] == g && p[2] == b)
            p[0] = p[1] = p[2] = p[3] = 0;
}

Image Image::Repeated(int across, int down) const {
    Image out;
    if (Empty() || across < 1 || down < 1 || across > MAX_SIDE / m_width ||
        down > MAX_SIDE / m_height) {
        out.m_error = Empty() ? "no picture to repeat" : "repeated picture too large";
        return out;
    }
    const size_t row = size_t(m_width) * 4;
    const int height = m_height * down;
    auto* pixels = static_cast<unsigned char*>(std::malloc(row * size_t(across) * size_t(height)));
    if (!pixels) {
        out.m_error = "out of memory";
        return out;
    }
    unsigned char* to = pixels;
    for (int y = 0; y < height; ++y)
        for (int copy = 0; copy < across; ++copy, to += row)
            std::memcpy(to, m_pixels.get() + size_t(y % m_height) * row, row);
    out.m_pixels.reset(pixels);
    out.m_width = m_width * across;
    out.m_height = height;
    return out;
}

} // namespace Engine
