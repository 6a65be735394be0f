#pragma once

// The ground every part of the reader stands on: the state of one map being
// read (its limits, the files read so far, the features noted), file
// reading, paths, strict numbers and colours. It knows no format.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <engine/image/Image.h>
#include <engine/tiled/TiledMap.h>

namespace Engine::Tiled::Detail {

[[noreturn]] void Fail(const std::string& message);

// One map being read.
class Reading {
public:
    Reading(std::string mapPath, const Limits& limits)
        : m_mapPath(std::move(mapPath)), m_limits(limits) {}

    const std::string& MapPath() const { return m_mapPath; }
    const Limits& GetLimits() const { return m_limits; }

    // The file at path in one read: a regular file no larger than the caps
    // allow. what names it in messages ("tile set file", ...).
    std::string ReadFile(const std::string& path, const std::string& what);
    // The image file at path decoded (RGBA, rows flipped), read as ReadFile
    // reads it; its size is taken from its header and held, with the images
    // read before, to a cap of decoded pixels before any pixel is decoded.
    Image ReadImage(const std::string& path, const std::string& where);

    // Room for a layer of width x height cells (each side at least 1), or
    // tiles, or objects, counted against the caps of the whole map; where
    // begins the message when there is none. TakeCells returns the cells.
    size_t TakeCells(int width, int height, const std::string& where);
    void TakeTiles(uint64_t tiles, const std::string& where);
    void TakeObjects(uint64_t objects, const std::string& where);
    void TakePoints(uint64_t points, const std::string& where);

    // A feature drawn plainly, the first place it was seen.
    void Note(const std::string& feature, const std::string& where);
    const std::vector<std::pair<std::string, std::string>>& Notes() const { return m_notes; }

private:
    std::string m_mapPath;
    const Limits& m_limits;
    uint64_t m_bytes = 0;
    uint64_t m_cells = 0;
    uint64_t m_tiles = 0;
    uint64_t m_objects = 0;
    uint64_t m_points = 0;
    uint64_t m_pixels = 0;
    std::vector<std::pair<std::string, std::string>> m_notes;
};

// White space as XML and JSON both have it.
inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

enum class Format { Xml, Json, Other };
// By the first character that is not white space (a byte-order mark skipped).
Format Sniff(std::string_view text);
// Whether a map's text says it is infinite, read from its root alone (TMX's
// <map> tag; JSON's top-level members up to "infinite", which Tiled writes
// before the layers), so that a world can place a finite map without parsing
// its layers. Nothing when the text does not plainly say: parse it then.
std::optional<bool> PeekInfinite(std::string_view text);
// The JSON half of PeekInfinite (in JsonNode.cpp, beside the JSON reader).
std::optional<bool> PeekJsonInfinite(std::string_view text);

// A path as a Tiled file names it, relative to the directory of the file
// `from`; an absolute one stays as it is.
std::string ResolvePath(const std::string& from, const std::string& relative);
// Sets Property::path of the file properties, class values' members too, as
// named by the file `from`.
void ResolveFiles(Properties& properties, const std::string& from);

// Whole numbers in decimal with an optional minus sign and nothing else, in
// the range of int; finite decimal numbers.
bool ParseInt(std::string_view text, int& value);
bool ParseDouble(std::string_view text, double& value);
// A global tile id, flag bits included: decimal digits only, up to 2^32 - 1.
bool ParseGid(std::string_view text, uint32_t& gid);
// "#rrggbb" or "#aarrggbb" (the # optional), as an ARGB number.
bool ParseColor(std::string_view text, uint32_t& argb);
// Both ARGB colours multiplied channel by channel.
uint32_t MultiplyColors(uint32_t a, uint32_t b);

// A whole number as messages write it.
template <class T> std::string Num(T n) {
    return std::to_string(n);
}

// "name" in quotes, Printable, for messages.
std::string Quoted(const std::string& name);

// Refuses depth past limits.maxDepth: what nests ("groups", ...) too deep.
void CheckDepth(int depth, const Limits& limits, const std::string& where, const char* what);

} // namespace Engine::Tiled::Detail
