#include "Texture.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "GLTexture.h"
#include "Log.h"
#include "Renderer.h"

namespace Engine {

Ref<Texture2D> Texture2D::Create(const std::string& path) {
    switch (Renderer::GetAPI()) {
    case Renderer::API::None:
        Log::Err("TEXTURE", "Render API of type None not supported");
    case Renderer::API::OpenGL:
        return CreateRef<GLTexture2D>(path);
    }
    return nullptr;
}

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

// Binary PNM ("P5" grey, "P6" colour).
bool IsPNM(const unsigned char* data, size_t size) {
    return size >= 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '6');
}

// 16-bit binary PNM, decoded here: the decoder's own path widens it to four
// channels past the end of its buffer, and keeps the low byte of each
// big-endian sample. Takes the high byte, as for every other 16-bit format;
// samples missing at the end read as 0. w, h and channels are the header's.
unsigned char* DecodePnm16(const unsigned char* data, size_t size, int w, int h, int channels) {
    size_t pos = 2;
    for (int field = 0; field < 3; ++field) { // width, height, maximum value
        for (;;) {
            while (pos < size && std::isspace(data[pos]))
                ++pos;
            if (pos >= size || data[pos] != '#')
                break;
            while (pos < size && data[pos] != '\n' && data[pos] != '\r')
                ++pos;
        }
        while (pos < size && std::isdigit(data[pos]))
            ++pos;
    }
    ++pos; // the one whitespace byte before the samples
    const auto sample = [&](size_t index) -> unsigned char {
        const size_t at = pos + index * 2;
        return pos <= size && at < size ? data[at] : 0;
    };
    auto* out = static_cast<unsigned char*>(std::malloc(size_t(w) * size_t(h) * 4));
    if (!out)
        return nullptr;
    for (int y = 0; y < h; ++y) {
        // Rows flipped: the file's top row ends up last.
        unsigned char* row = out + size_t(h - 1 - y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x) {
            const size_t first = (size_t(y) * size_t(w) + size_t(x)) * size_t(channels);
            const unsigned char r = sample(first);
            row[x * 4 + 0] = r;
            row[x * 4 + 1] = channels >= 3 ? sample(first + 1) : r;
            row[x * 4 + 2] = channels >= 3 ? sample(first + 2) : r;
            row[x * 4 + 3] = 255;
        }
    }
    return out;
}

// Two faults of the decoder's JPEG reader that the data can steer, found
// here by walking the marker segments as the decoder reads them:
// - it builds each Huffman table without checking that it holds at most 256
//   codes, and writes the excess past the table;
// - a scan may name a table that no segment defined, and the decoder then
//   looks codes up in uninitialised memory and indexes past the table.
std::string JpegTableFault(const unsigned char* data, size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return {};
    // Past the end the decoder reads zeros.
    const auto at = [&](size_t i) -> unsigned { return i < size ? data[i] : 0u; };
    bool defined[2][4] = {}; // [DC, AC][table]
    bool progressive = false;
    size_t i = 2;
    while (i + 1 < size) {
        if (data[i] != 0xFF) {
            ++i; // entropy-coded data between markers
            continue;
        }
        while (i < size && data[i] == 0xFF)
            ++i;
        if (i >= size)
            break;
        const unsigned marker = data[i++];
        // Stuffed zero, restart markers, SOI, EOI and TEM carry no length.
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD9) || marker == 0x01)
            continue;
        const size_t length = at(i) << 8 | at(i + 1);
        if (marker == 0xC2)
            progressive = true;
        if (marker == 0xC4) {
            long left = static_cast<long>(length) - 2;
            size_t p = i + 2;
            while (left > 0) {
                const unsigned kind = at(p) >> 4, table = at(p) & 15;
                unsigned codes = 0;
                for (size_t k = 1; k <= 16; ++k)
                    codes += at(p + k);
                if (codes > 256)
                    return "JPEG Huffman table of " + std::to_string(codes) +
                           " codes (at most 256)";
                if (kind <= 1 && table <= 3)
                    defined[kind][table] = true;
                p += 17 + codes;
                left -= 17 + static_cast<long>(codes);
            }
        }
        if (marker == 0xDA) {
            const unsigned count = at(i + 2);
            const unsigned start = at(i + 3 + 2 * count);     // spectral selection start
            const unsigned high = at(i + 5 + 2 * count) >> 4; // successive approximation
            // A progressive scan reads only the tables it decodes with: DC
            // for a first DC pass, AC for an AC pass.
            const bool dc = !progressive || (start == 0 && high == 0);
            const bool ac = !progressive || start > 0;
            for (unsigned c = 0; c < count; ++c) {
                const unsigned tables = at(i + 4 + 2 * c);
                if ((dc && (tables >> 4) <= 3 && !defined[0][tables >> 4]) ||
                    (ac && (tables & 15) <= 3 && !defined[1][tables & 15]))
                    return "JPEG scan uses a Huffman table that was never defined";
            }
        }
        i += length;
    }
    return {};
}

// The decoder's Radiance HDR reader spins for ever when a run-length scanline
// is cut short: past the end of the data it reads run counts of 0, which
// never move on. Walks the scanlines as it does and reports such a cut.
std::string EndlessHdrScanline(const unsigned char* data, size_t size) {
    const auto at = [&](size_t i) -> unsigned { return i < size ? data[i] : 0u; };
    // Lines end at '\n' or at the end of the data.
    size_t pos = 0;
    const auto line = [&] {
        const size_t start = std::min(pos, size);
        while (pos < size && data[pos] != '\n')
            ++pos;
        std::string text(reinterpret_cast<const char*>(data) + start, std::min(pos, size) - start);
        ++pos;
        return text;
    };
    const std::string magic = line();
    if (magic != "#?RADIANCE" && magic != "#?RGBE")
        return {};
    while (pos < size && !line().empty()) {
    }
    // The size line is parsed as the decoder does, from its first 1023 bytes.
    const std::string dims = line().substr(0, 1023);
    const char* token = dims.c_str();
    char* end = nullptr;
    if (std::strncmp(token, "-Y ", 3) != 0)
        return {};
    const long height = std::strtol(token + 3, &end, 10);
    for (token = end; *token == ' ';)
        ++token;
    if (std::strncmp(token, "+X ", 3) != 0)
        return {};
    const long width = std::strtol(token + 3, nullptr, 10);
    if (width < 8 || width >= 32768 || height <= 0 || height > Image::MAX_SIDE)
        return {}; // stored flat, or refused by size
    for (long j = 0; j < height; ++j) {
        const unsigned c1 = at(pos), c2 = at(pos + 1), len = at(pos + 2);
        pos += 3;
        if (c1 != 2 || c2 != 2 || (len & 0x80))
            return {}; // the rest is read flat, a bounded walk
        if (static_cast<long>(len << 8 | at(pos++)) != width)
            return {}; // refused by the decoder
        for (int k = 0; k < 4; ++k) {
            for (long i = 0; i < width;) {
                if (pos >= size)
                    return "HDR data ends inside scanline " + std::to_string(j);
                unsigned count = data[pos++];
                if (count > 128) {
                    count -= 128;
                    ++pos;
                } else {
                    pos += count;
                }
                if (static_cast<long>(count) > width - i)
                    return {}; // refused by the decoder
                i += static_cast<long>(count);
            }
        }
    }
    return {};
}

} // namespace

Image Image::Decode(const unsigned char* bytes, size_t size) {
    Image image;
    if (size > static_cast<size_t>(INT_MAX)) {
        image.m_error = "image data too long";
        return image;
    }
    const int len = static_cast<int>(size);
    // The decoder reads nothing from a zero length, but still wants a buffer.
    static const unsigned char none = 0;
    const unsigned char* data = bytes ? bytes : &none;

    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, len, &w, &h, &channels)) {
        image.m_error = FailureReason("not an image");
        return image;
    }
    if (w <= 0 || h <= 0 || w > MAX_SIDE || h > MAX_SIDE) {
        image.m_error = "image of " + std::to_string(w) + "x" + std::to_string(h) +
                        " pixels is larger than " + std::to_string(MAX_SIDE) + " on a side";
        return image;
    }
    image.m_error = JpegTableFault(data, size);
    if (image.m_error.empty())
        image.m_error = EndlessHdrScanline(data, size);
    if (!image.m_error.empty())
        return image;
    unsigned char* pixels = nullptr;
    if (IsPNM(data, size) && stbi_is_16_bit_from_memory(data, len)) {
        pixels = DecodePnm16(data, size, w, h, channels);
    } else {
        // The flip setting is process-wide; set it for every decode.
        stbi_set_flip_vertically_on_load(1);
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

std::vector<SheetCell> CutSheet(int sheetWidth, int sheetHeight, int cellWidth, int cellHeight) {
    std::vector<SheetCell> cells;
    if (cellWidth <= 0 || cellHeight <= 0 || sheetWidth < cellWidth || sheetHeight < cellHeight)
        return cells;
    const int wLen = sheetWidth / cellWidth;
    const int hLen = sheetHeight / cellHeight;
    const float glWidth = static_cast<float>(cellWidth) / static_cast<float>(sheetWidth);
    const float glHeight = static_cast<float>(cellHeight) / static_cast<float>(sheetHeight);
    cells.reserve(static_cast<size_t>(wLen) * static_cast<size_t>(hLen));
    for (int y = 0; y < hLen; ++y)
        for (int x = 0; x < wLen; ++x)
            // Rows are counted from the top of the picture, whose rows sit at the
            // top of texture space, so the strip left over is the top one.
            cells.push_back({static_cast<float>(cellWidth), static_cast<float>(cellHeight), glWidth,
                             glHeight, glWidth * static_cast<float>(x),
                             glHeight * static_cast<float>(hLen - 1 - y)});
    return cells;
}

std::vector<Ref<Texture>> CutSheetRegions(const Ref<Texture>& sheet, int cellWidth,
                                          int cellHeight) {
    std::vector<Ref<Texture>> regions;
    if (!sheet || Renderer::GetAPI() != Renderer::API::OpenGL)
        return regions;
    const int sheetWidth = static_cast<int>(sheet->getWidth());
    const int sheetHeight = static_cast<int>(sheet->getHeight());
    for (const SheetCell& c : CutSheet(sheetWidth, sheetHeight, cellWidth, cellHeight))
        regions.push_back(CreateRef<GLTexture2D>(c.width, c.height, c.glWidth, c.glHeight, c.glX,
                                                 c.glY, sheet->getID()));
    return regions;
}

} // namespace Engine
