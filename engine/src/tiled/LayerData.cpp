#include "tiled/LayerData.h"

#include <array>
#include <bit>
#include <cstring>

#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <engine/tiled/TiledMap.h>

#include "tiled/Node.h"
#include "tiled/Reading.h"

namespace Engine::Tiled::Detail {

namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& reason) {
    throw MapError(where + ": " + reason);
}

std::string Count(size_t n) {
    return std::to_string(n);
}

// The ids are stored little-endian whatever the machine.
void FromLittleEndian(std::vector<uint32_t>& ids) {
    if constexpr (std::endian::native == std::endian::big)
        for (uint32_t& id : ids)
            id = ((id & 0xFFu) << 24) | ((id & 0xFF00u) << 8) | ((id >> 8) & 0xFF00u) | (id >> 24);
}

// Inflates a zlib (windowBits 15) or gzip (31) stream into exactly the bytes
// of out, refusing a stream that would give more or fewer.
void Inflate(const std::string& in, int windowBits, std::vector<uint32_t>& out,
             const std::string& where, const char* kind) {
    z_stream zs{};
    if (inflateInit2(&zs, windowBits) != Z_OK)
        Fail(where, std::string("cannot start the ") + kind + " decoder");
    struct End {
        z_stream& zs;
        ~End() { inflateEnd(&zs); }
    } end{zs};
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    // The caller keeps a layer's bytes far below 4 GiB.
    zs.avail_out = static_cast<uInt>(out.size() * 4);
    const size_t want = out.size() * 4;
    auto corrupt = [&] {
        Fail(where, std::string("corrupt ") + kind + " data" +
                        (zs.msg ? std::string(": ") + zs.msg : std::string()));
    };
    int rc = Z_OK;
    while (rc == Z_OK && zs.avail_out > 0)
        rc = inflate(&zs, Z_NO_FLUSH);
    if (rc == Z_BUF_ERROR && zs.avail_out > 0)
        Fail(where, std::string(kind) + " data is cut short after " + Count(want - zs.avail_out) +
                        " of " + Count(want) + " bytes");
    if (rc != Z_STREAM_END && rc != Z_OK && rc != Z_BUF_ERROR)
        corrupt();
    // The layer is full: the stream may only end now, without a byte more.
    unsigned char probe;
    while (rc != Z_STREAM_END) {
        zs.next_out = &probe;
        zs.avail_out = 1;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (zs.avail_out == 0)
            Fail(where, std::string(kind) + " data holds more than the layer's " +
                            Count(out.size()) + " cells");
        if (rc == Z_BUF_ERROR)
            Fail(where, std::string(kind) + " data is cut short");
        if (rc != Z_OK && rc != Z_STREAM_END)
            corrupt();
    }
    if (zs.total_out != want)
        Fail(where, std::string(kind) + " data holds " + Count(zs.total_out) +
                        " bytes; the layer's " + Count(out.size()) + " cells take " + Count(want));
    if (zs.avail_in != 0)
        Fail(where, Count(zs.avail_in) + " bytes follow the " + kind + " data");
}

void Unzstd(const std::string& in, std::vector<uint32_t>& out, const std::string& where) {
    ZSTD_DCtx* dctx = ZSTD_createDCtx();
    if (!dctx)
        Fail(where, "cannot start the zstd decoder");
    struct Free {
        ZSTD_DCtx* d;
        ~Free() { ZSTD_freeDCtx(d); }
    } free{dctx};
    const size_t want = out.size() * 4;
    // In one pass straight into the layer: never more than its bytes.
    const size_t got = ZSTD_decompressDCtx(dctx, out.data(), want, in.data(), in.size());
    if (ZSTD_isError(got)) {
        if (ZSTD_getErrorCode(got) == ZSTD_error_dstSize_tooSmall)
            Fail(where, "zstd data holds more than the layer's " + Count(out.size()) + " cells");
        Fail(where, std::string("corrupt zstd data: ") + ZSTD_getErrorName(got));
    }
    if (got != want)
        Fail(where, "zstd data holds " + Count(got) + " bytes; the layer's " + Count(out.size()) +
                        " cells take " + Count(want));
}

} // namespace

std::vector<uint32_t> DecodeCsv(std::string_view text, size_t cells, const std::string& where) {
    std::vector<uint32_t> ids(cells);
    size_t n = 0, i = 0;
    const size_t len = text.size();
    auto skipSpace = [&] {
        while (i < len && IsSpace(text[i]))
            ++i;
    };
    skipSpace();
    if (i == len)
        Fail(where, "no cells in the CSV data; the layer has " + Count(cells));
    for (;;) {
        skipSpace();
        if (i == len || text[i] < '0' || text[i] > '9')
            Fail(where, "CSV data: cell " + Count(n + 1) + " is not a tile number");
        uint64_t v = 0;
        while (i < len && text[i] >= '0' && text[i] <= '9') {
            v = v * 10 + static_cast<uint64_t>(text[i] - '0');
            if (v > 0xFFFFFFFFu)
                Fail(where, "CSV data: cell " + Count(n + 1) + " is larger than a tile id can be");
            ++i;
        }
        if (n == cells)
            Fail(where, "CSV data holds more than the layer's " + Count(cells) + " cells");
        ids[n++] = static_cast<uint32_t>(v);
        skipSpace();
        if (i == len)
            break;
        if (text[i] != ',')
            Fail(where,
                 "CSV data: unexpected '" + std::string(1, text[i]) + "' after cell " + Count(n));
        ++i;
    }
    if (n != cells)
        Fail(where, "CSV data holds " + Count(n) + " cells; the layer has " + Count(cells));
    return ids;
}

bool Base64(std::string_view text, std::string& bytes) {
    static const std::array<int8_t, 256> table = [] {
        std::array<int8_t, 256> t{};
        t.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int k = 0; k < 64; ++k)
            t[static_cast<unsigned char>(alphabet[k])] = static_cast<int8_t>(k);
        return t;
    }();
    bytes.clear();
    bytes.reserve(text.size() / 4 * 3 + 3);
    uint32_t acc = 0;
    int have = 0, padding = 0;
    for (char c : text) {
        if (IsSpace(c))
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = table[static_cast<unsigned char>(c)];
        // Nothing but padding and white space may follow padding.
        if (v < 0 || padding > 0)
            return false;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        if (++have == 4) {
            bytes.push_back(static_cast<char>(acc >> 16));
            bytes.push_back(static_cast<char>(acc >> 8));
            bytes.push_back(static_cast<char>(acc));
            acc = 0;
            have = 0;
        }
    }
    // A last group of two or three characters carries one or two bytes; the
    // padding, when there is any, fills the group to four.
    if (have == 1 || padding > 2 || (padding > 0 && have + padding != 4))
        return false;
    if (have == 2)
        bytes.push_back(static_cast<char>(acc >> 4));
    if (have == 3) {
        bytes.push_back(static_cast<char>(acc >> 10));
        bytes.push_back(static_cast<char>(acc >> 2));
    }
    return true;
}

std::vector<uint32_t> DecodeBase64(std::string_view text, std::string_view compression,
                                   size_t cells, const std::string& where) {
    const bool raw = compression.empty();
    if (!raw && compression != "zlib" && compression != "gzip" && compression != "zstd")
        Fail(where, "unknown compression \"" + std::string(compression) +
                        "\" (Tiled writes zlib, gzip or zstd)");
    std::string bytes;
    if (!Base64(text, bytes))
        Fail(where, "the base64 data is not valid base64");
    std::vector<uint32_t> ids(cells);
    if (raw) {
        if (bytes.size() != cells * 4)
            Fail(where, "base64 data holds " + Count(bytes.size()) + " bytes; the layer's " +
                            Count(cells) + " cells take " + Count(cells * 4));
        if (cells > 0)
            std::memcpy(ids.data(), bytes.data(), bytes.size());
    } else if (compression == "zstd") {
        Unzstd(bytes, ids, where);
    } else {
        Inflate(bytes, compression == "zlib" ? 15 : 15 + 16, ids, where,
                compression == "zlib" ? "zlib" : "gzip");
    }
    FromLittleEndian(ids);
    return ids;
}

std::vector<uint32_t> ReadCells(const Node& holder, std::string_view encoding,
                                std::string_view compression, size_t cells,
                                const std::string& where) {
    std::string_view text;
    const bool isText = holder.CellText(text);
    if (encoding == "base64") {
        if (!isText)
            Fail(where, "its base64 data is not text");
        return DecodeBase64(text, compression, cells, where);
    }
    if (!encoding.empty() && encoding != "csv")
        Fail(where,
             "unknown encoding \"" + std::string(encoding) + "\" (Tiled writes csv or base64)");
    if (encoding == "csv" && isText)
        return DecodeCsv(text, cells, where);
    std::vector<uint32_t> ids(cells);
    size_t n = 0;
    holder.Cells(
        [&](std::optional<uint64_t> id) {
            if (n == cells)
                Fail(where, "its data holds more than the layer's " + Count(cells) + " cells");
            if (!id)
                Fail(where, "cell " + Count(n + 1) + " is not a tile number");
            if (*id > 0xFFFFFFFFull)
                Fail(where, "cell " + Count(n + 1) + " is larger than a tile id can be");
            ids[n++] = static_cast<uint32_t>(*id);
        },
        where);
    if (n != cells)
        Fail(where, "its data holds " + Count(n) + " cells; the layer has " + Count(cells));
    return ids;
}

} // namespace Engine::Tiled::Detail
