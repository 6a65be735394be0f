#include "image/DecoderGuards.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include <engine/image/Image.h>

namespace Engine::DecoderGuards {

bool IsPNM(const unsigned char* data, size_t size) {
    return size >= 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '6');
}

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

} // namespace Engine::DecoderGuards
