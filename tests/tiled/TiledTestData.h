#pragma once

// The hand-written maps of tests/tiled/data, the sheet their second tile set
// cuts (drawn here), the map's layers rewritten in each encoding Tiled
// writes, and running the real Tiled on them.

#include <gtest/gtest.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <engine/tiled/TiledMap.h>

#include "../../bench/LevelGen.h"
#include "support/RenderImages.h"
#include "support/TiledExamples.h"

namespace TiledTest {

namespace fs = std::filesystem;

// Relative to the repository root, where the tests run.
inline const std::string kData = "tests/tiled/data/";

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// marks.png of marks.tsx: 3 x 2 tiles of 64 pixels, a margin of 2 and
// spacing of 3 in magenta. Every pixel of a tile differs from the others,
// a white square marks its top-left corner, a black bar its top edge, and
// tile 5 is half transparent in its middle.
constexpr EngineTest::Rgba kMagenta{255, 0, 255, 255};
inline EngineTest::Rgba MarkPixel(int x, int y) {
    const int cx = x - 2, cy = y - 2;
    if (cx < 0 || cy < 0)
        return kMagenta;
    const int column = cx / 67, row = cy / 67, lx = cx % 67, ly = cy % 67;
    if (column > 2 || row > 1 || lx >= 64 || ly >= 64)
        return kMagenta;
    const int t = row * 3 + column;
    if (lx < 16 && ly < 16)
        return EngineTest::kWhite;
    if (ly < 4)
        return {0, 0, 0, 255};
    const unsigned char alpha = t == 5 && lx >= 24 && lx < 40 && ly >= 24 && ly < 40 ? 128 : 255;
    return {static_cast<unsigned char>(40 + 3 * lx), static_cast<unsigned char>(40 + 3 * ly),
            static_cast<unsigned char>(60 + 30 * t), alpha};
}

// A scratch copy of the data folder with both sheets beside the maps, as
// Tiled and tmxrasterizer need them.
class DataCopy {
public:
    DataCopy() {
        fs::copy(kData, m_dir.File(""), fs::copy_options::recursive);
        fs::copy_file("Assets/tiles.png", m_dir.File("tiles.png"));
        EngineTest::WritePng(m_dir.File("marks.png"), 200, 133, MarkPixel);
    }
    std::string File(const std::string& name) const { return m_dir.File(name); }

private:
    EngineTest::TempDir m_dir;
};

// The benchmarks' encoder: what Tiled writes, padding included.
using BenchLevel::Base64;

// Little-endian ids, as the layer data holds them.
inline std::string Bytes(const std::vector<uint32_t>& ids) {
    std::string raw;
    for (uint32_t id : ids)
        for (int b = 0; b < 4; ++b)
            raw += static_cast<char>((id >> (8 * b)) & 0xFF);
    return raw;
}

// raw compressed with "zlib", "gzip" or "zstd" (as it is for ""), followed
// by `zeros` more zero bytes fed in a piece at a time, so that a bomb is made
// without ever holding what it expands to.
inline std::string Pack(const std::string& raw, const std::string& compression, size_t zeros = 0) {
    if (compression.empty())
        return raw + std::string(zeros, '\0');
    const std::string piece(1 << 20, '\0');
    std::string out;
    char buffer[1 << 16];
    if (compression == "zstd") {
        ZSTD_CCtx* cctx = ZSTD_createCCtx();
        auto feed = [&](const std::string& in, size_t n, ZSTD_EndDirective end) {
            ZSTD_inBuffer input{in.data(), n, 0};
            for (;;) {
                ZSTD_outBuffer output{buffer, sizeof buffer, 0};
                const size_t left = ZSTD_compressStream2(cctx, &output, &input, end);
                out.append(buffer, output.pos);
                if (end == ZSTD_e_end ? left == 0 : input.pos == input.size)
                    break;
            }
        };
        feed(raw, raw.size(), ZSTD_e_continue);
        for (size_t left = zeros; left > 0; left -= std::min(left, piece.size()))
            feed(piece, std::min(left, piece.size()), ZSTD_e_continue);
        feed(piece, 0, ZSTD_e_end);
        ZSTD_freeCCtx(cctx);
        return out;
    }
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, compression == "zlib" ? 15 : 31, 8, Z_DEFAULT_STRATEGY);
    auto feed = [&](const char* in, size_t n, int flush) {
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
        zs.avail_in = static_cast<uInt>(n);
        do {
            zs.next_out = reinterpret_cast<Bytef*>(buffer);
            zs.avail_out = sizeof buffer;
            deflate(&zs, flush);
            out.append(buffer, sizeof buffer - zs.avail_out);
        } while (zs.avail_out == 0);
    };
    feed(raw.data(), raw.size(), Z_NO_FLUSH);
    for (size_t left = zeros; left > 0; left -= std::min(left, piece.size()))
        feed(piece.data(), std::min(left, piece.size()), Z_NO_FLUSH);
    feed(nullptr, 0, Z_FINISH);
    deflateEnd(&zs);
    return out;
}

// The CSV layers of a TMX text rewritten: encoding "csv", "xml" (a <tile>
// a cell), "base64", or "base64" with compression "zlib", "gzip" or "zstd".
inline std::string Reencode(const std::string& tmx, const std::string& encoding,
                            const std::string& compression = "") {
    std::string out;
    size_t at = 0;
    const std::string open = "<data encoding=\"csv\">", close = "</data>";
    for (;;) {
        const size_t start = tmx.find(open, at);
        if (start == std::string::npos)
            break;
        const size_t end = tmx.find(close, start);
        out += tmx.substr(at, start - at);
        std::vector<uint32_t> ids;
        std::string csv = tmx.substr(start + open.size(), end - start - open.size());
        for (char& c : csv)
            if (c == ',')
                c = ' ';
        std::istringstream in(csv);
        for (unsigned long v; in >> v;)
            ids.push_back(static_cast<uint32_t>(v));
        if (encoding == "csv") {
            out += tmx.substr(start, end - start);
        } else if (encoding == "xml") {
            out += "<data>";
            for (uint32_t id : ids)
                out += id ? "<tile gid=\"" + std::to_string(id) + "\"/>" : "<tile/>";
        } else {
            out += "<data encoding=\"base64\"" +
                   (compression.empty() ? "" : " compression=\"" + compression + "\"") + ">\n   " +
                   Base64(Pack(Bytes(ids), compression)) + "\n  ";
        }
        at = end;
    }
    return out + tmx.substr(at);
}

using EngineTest::TiledExamples;

// Whether the real Tiled can be run here.
inline bool HaveTiled() {
    return std::system("command -v tiled >/dev/null 2>&1") == 0;
}

// Tiled converts `in` into `out` in format ("json" or "tmx"), headless and
// within 30 seconds, with its options ("--detach-templates"); true when it did.
inline bool TiledExport(const std::string& in, const std::string& out, const std::string& format,
                        const std::string& kind = "map", const std::string& options = "") {
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout -k 5 30 tiled --export-" + kind +
                                " " + options + " " + format + " '" + in + "' '" + out +
                                "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && fs::exists(out);
}

} // namespace TiledTest
