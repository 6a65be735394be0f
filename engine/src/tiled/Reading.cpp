#include "tiled/Reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <engine/core/Log.h>
#include <engine/image/Image.h>

namespace Engine::Tiled::Detail {

void Fail(const std::string& message) {
    throw MapError(message);
}

namespace {

std::string Num(uint64_t n) {
    return std::to_string(n);
}

class File {
public:
    explicit File(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
    ~File() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

std::string Reading::ReadFile(const std::string& path, const std::string& where) {
    // Opened without waiting, then asked what it is: a pipe or a device
    // named in a map could block or never end.
    File file(path);
    if (file.Fd() < 0)
        Fail(where + ": cannot open: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(file.Fd(), &st) != 0)
        Fail(where + ": cannot open: " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        Fail(where + ": not a regular file");
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size > m_limits.maxFileBytes)
        Fail(where + ": " + Num(size) + " bytes, more than the limit of " +
             Num(m_limits.maxFileBytes));
    if (m_bytes + size > m_limits.maxTotalBytes)
        Fail(where + ": the files of " + m_mapPath + " come to more than the limit of " +
             Num(m_limits.maxTotalBytes) + " bytes");
    m_bytes += size;
    std::string text(static_cast<size_t>(size), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(file.Fd(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail(where + ": cannot read: " + std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    // Cut short meanwhile: what there is, as a parser would meet it.
    text.resize(got);
    return text;
}

size_t Reading::TakeCells(int width, int height, const std::string& where) {
    if (width < 1 || height < 1)
        Fail(where + ": " + std::to_string(width) + " x " + std::to_string(height) +
             " cells; both must be at least 1");
    // Both are ints, so the product cannot overflow 64 bits.
    const uint64_t cells = uint64_t(width) * uint64_t(height);
    if (cells > m_limits.maxCells)
        Fail(where + ": " + Num(cells) + " cells, more than the limit of " +
             Num(m_limits.maxCells));
    if (m_cells + cells > m_limits.maxTotalCells)
        Fail(where + ": the tile layers come to more than the limit of " +
             Num(m_limits.maxTotalCells) + " cells");
    m_cells += cells;
    return static_cast<size_t>(cells);
}

void Reading::TakeTiles(uint64_t tiles, const std::string& where) {
    // Tile maps number every tile of a map with an int.
    if (m_tiles + tiles > std::min<uint64_t>(m_limits.maxTiles, INT32_MAX))
        Fail(where + ": the tile sets come to more than the limit of " + Num(m_limits.maxTiles) +
             " tiles");
    m_tiles += tiles;
}

void Reading::TakeObjects(uint64_t objects, const std::string& where) {
    if (m_objects + objects > m_limits.maxObjects)
        Fail(where + ": the object layers come to more than the limit of " +
             Num(m_limits.maxObjects) + " objects");
    m_objects += objects;
}

void Reading::Note(const std::string& feature, const std::string& where) {
    for (const auto& note : m_notes)
        if (note.first == feature)
            return;
    m_notes.emplace_back(feature, where);
}

Format Sniff(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    for (char c : text)
        if (!IsSpace(c))
            return c == '<' ? Format::Xml : c == '{' ? Format::Json : Format::Other;
    return Format::Other;
}

std::string ResolvePath(const std::string& from, const std::string& relative) {
    const std::filesystem::path rel(relative);
    if (rel.is_absolute())
        return rel.lexically_normal().string();
    // As Tiled cleans paths: by their text, not by following links.
    return (std::filesystem::path(from).parent_path() / rel).lexically_normal().string();
}

bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseDouble(std::string_view text, double& value) {
    // from_chars takes no leading plus, which Tiled never writes anyway.
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty() && std::isfinite(value);
}

bool ParseGid(std::string_view text, uint32_t& gid) {
    // from_chars takes no sign, and refuses what does not fit 32 bits.
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, gid);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseColor(std::string_view text, uint32_t& argb) {
    if (!text.empty() && text[0] == '#')
        text.remove_prefix(1);
    if (text.size() != 6 && text.size() != 8)
        return false;
    uint32_t v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v, 16);
    if (ec != std::errc() || ptr != end)
        return false;
    argb = text.size() == 6 ? (0xFF000000u | v) : v;
    return true;
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

void CheckDepth(int depth, const Limits& limits, const std::string& where, const char* what) {
    if (depth > limits.maxDepth)
        Fail(where + ": " + what + " nest more than " + std::to_string(limits.maxDepth) + " deep");
}

void CheckMapHeader(const Map& map, const std::string& orientation, bool infinite,
                    const Limits& limits) {
    const std::string& path = map.path;
    if (orientation != "orthogonal")
        Fail(path + ": the map's orientation is " +
             (orientation.empty() ? std::string("not given") : Quoted(orientation)) +
             "; only orthogonal maps are read");
    if (infinite)
        Fail(path + ": an infinite map (its layers kept in chunks) is not read; in Tiled, untick "
                    "Infinite in the map's properties and save it again");
    if (map.width < 1 || map.height < 1)
        Fail(path + ": the map is " + std::to_string(map.width) + " x " +
             std::to_string(map.height) + " cells; both must be at least 1");
    if (map.tileWidth < 1 || map.tileHeight < 1 || map.tileWidth > Image::MAX_SIDE ||
        map.tileHeight > Image::MAX_SIDE)
        Fail(path + ": tiles of " + std::to_string(map.tileWidth) + " x " +
             std::to_string(map.tileHeight) + " pixels; each side must be 1 to " +
             std::to_string(Image::MAX_SIDE));
    const uint64_t cells = uint64_t(map.width) * uint64_t(map.height);
    if (cells > limits.maxCells)
        Fail(path + ": the map is " + std::to_string(map.width) + " x " +
             std::to_string(map.height) + " = " + Num(cells) + " cells, more than the limit of " +
             Num(limits.maxCells));
}

void FinishTileset(Tileset& ts, bool hasImage, const std::string& where) {
    if (!hasImage)
        Fail(where + ": a collection of separate images; only tile sets cut from one image are "
                     "drawn");
    if (ts.imagePath.empty())
        Fail(where + ": its image names no file");
    const int maxSide = Image::MAX_SIDE;
    if (ts.tileWidth < 1 || ts.tileHeight < 1 || ts.tileWidth > maxSide || ts.tileHeight > maxSide)
        Fail(where + ": tiles of " + std::to_string(ts.tileWidth) + " x " +
             std::to_string(ts.tileHeight) + " pixels; each side must be 1 to " +
             std::to_string(maxSide));
    if (ts.margin < 0 || ts.spacing < 0 || ts.margin > maxSide || ts.spacing > maxSide)
        Fail(where + ": margin " + std::to_string(ts.margin) + " and spacing " +
             std::to_string(ts.spacing) + " must be 0 to " + std::to_string(maxSide));
    if (ts.imageWidth < 0 || ts.imageHeight < 0 || ts.imageWidth > maxSide ||
        ts.imageHeight > maxSide)
        Fail(where + ": an image of " + std::to_string(ts.imageWidth) + " x " +
             std::to_string(ts.imageHeight) + " pixels; each side must be at most " +
             std::to_string(maxSide));
    // Tiled counts the tiles of the image it has (one margin, at the left
    // and top); the counts a file gives are for readers that have no image.
    auto fit = [&](int side, int tile) {
        return std::max(0, (side - ts.margin + ts.spacing) / (tile + ts.spacing));
    };
    if (ts.imageWidth > 0)
        ts.columns = fit(ts.imageWidth, ts.tileWidth);
    else if (ts.columns < 1)
        Fail(where + ": neither the image's width nor the number of columns is given");
    if (ts.imageWidth > 0 && ts.imageHeight > 0)
        ts.tileCount = ts.columns * fit(ts.imageHeight, ts.tileHeight);
    else if (ts.tileCount < 0)
        Fail(where + ": neither the image's size nor the number of tiles is given");
    if (ts.columns < 1 && ts.tileCount > 0)
        Fail(where + ": " + std::to_string(ts.tileCount) + " tiles in no column");
    if (ts.columns > maxSide || ts.tileCount / std::max(ts.columns, 1) > maxSide)
        Fail(where + ": " + std::to_string(ts.tileCount) + " tiles in " +
             std::to_string(ts.columns) + " columns cannot fit an image");
    for (const auto& [id, info] : ts.tiles)
        if (id < 0)
            Fail(where + ": tile id " + std::to_string(id) + " is negative");
}

std::string TilesetWhere(const std::string& mapPath, const Tileset& tileset) {
    std::string where = mapPath + ": tile set " + Quoted(tileset.name);
    if (tileset.source != mapPath)
        where += " (" + tileset.source + ")";
    return where;
}

Tileset ReadTileset(std::string_view text, const std::string& path, Reading& reading) {
    std::string where = path;
    if (path != reading.MapPath())
        where += " (tile set of " + reading.MapPath() + ")";
    switch (Sniff(text)) {
    case Format::Xml:
        return ReadTsx(text, path, where, reading);
    case Format::Json:
        return ReadTsj(text, path, where, reading);
    case Format::Other:
        break;
    }
    Fail(where + ": neither a TSX (XML) nor a JSON tile set");
}

Tileset LoadExternalTileset(const std::string& source, Reading& reading) {
    if (source.empty())
        Fail(reading.MapPath() + ": a tile set names no file");
    const std::string path = ResolvePath(reading.MapPath(), source);
    const std::string text =
        reading.ReadFile(path, reading.MapPath() + ": tile set file " + Quoted(path));
    return ReadTileset(text, path, reading);
}

namespace {

// Whether a tile set holds a global id, as Map::Resolve finds it, for every
// cell of a map: neighbouring cells mostly come from one tile set, so the
// ids of the last one found are tried first.
class HeldIds {
public:
    explicit HeldIds(const Map& map) : m_map(map) {}

    bool Held(uint32_t gid) {
        const uint32_t id = gid & GID_MASK;
        if (id >= m_lo && id < m_hi)
            return true;
        const std::optional<TileRef> ref = m_map.Resolve(gid);
        if (!ref)
            return false;
        const Tileset& ts = m_map.tilesets[ref->tileset];
        m_lo = ts.firstGid;
        // Up to the next tile set's first id, should the two overlap.
        uint64_t hi = uint64_t(ts.firstGid) + uint64_t(ts.tileCount);
        if (ref->tileset + 1 < m_map.tilesets.size())
            hi = std::min<uint64_t>(hi, m_map.tilesets[ref->tileset + 1].firstGid);
        m_hi = uint32_t(std::min<uint64_t>(hi, uint64_t(GID_MASK) + 1));
        return true;
    }

private:
    const Map& m_map;
    uint32_t m_lo = 1, m_hi = 1;
};

std::string GidText(uint32_t gid) {
    std::string text = std::to_string(gid & GID_MASK);
    if (gid & ~GID_MASK) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%08X", gid);
        text += std::string(" (") + flags + " with its flags)";
    }
    return text;
}

} // namespace

void FinishMap(Map& map, Reading& reading) {
    uint32_t previous = 0;
    for (const Tileset& ts : map.tilesets) {
        const std::string where = TilesetWhere(map.path, ts);
        if (ts.tileWidth != map.tileWidth || ts.tileHeight != map.tileHeight)
            Fail(where + ": its tiles are " + std::to_string(ts.tileWidth) + " x " +
                 std::to_string(ts.tileHeight) + " pixels, the map's cells " +
                 std::to_string(map.tileWidth) + " x " + std::to_string(map.tileHeight));
        if (ts.firstGid < 1 || ts.firstGid > GID_MASK || ts.firstGid <= previous)
            Fail(where + ": its first id " + std::to_string(ts.firstGid) +
                 (ts.firstGid <= previous && ts.firstGid >= 1
                      ? " is not above the first id of the tile set before it"
                      : " is not a tile id"));
        if (uint64_t(ts.firstGid) + uint64_t(ts.tileCount) - 1 > GID_MASK)
            Fail(where + ": its " + std::to_string(ts.tileCount) + " tiles from id " +
                 std::to_string(ts.firstGid) + " run past the largest tile id");
        previous = ts.firstGid;
    }

    HeldIds held(map);
    const bool square = map.tileWidth == map.tileHeight;
    for (const TileLayer& layer : map.layers) {
        uint32_t flags = 0;
        for (size_t i = 0; i < layer.gids.size(); ++i) {
            const uint32_t gid = layer.gids[i];
            if ((gid & GID_MASK) == 0)
                continue;
            flags |= gid;
            if (!held.Held(gid))
                Fail(map.path + ": layer " + Quoted(layer.name) + ": the cell at column " +
                     std::to_string(i % size_t(layer.width)) + ", row " +
                     std::to_string(i / size_t(layer.width)) + " holds tile id " + GidText(gid) +
                     ", which no tile set of the map holds");
        }
        if (!layer.visible)
            continue;
        if (flags & ROTATED_HEXAGONAL_120)
            reading.Note("the hexagonal 120-degree turn", "layer " + Quoted(layer.name));
        if (!square && (flags & FLIPPED_DIAGONALLY))
            reading.Note("the diagonal flip of tiles that are not square",
                         "layer " + Quoted(layer.name));
    }
    for (const ObjectGroup& group : map.objectGroups)
        for (const Object& object : group.objects)
            if ((object.gid & GID_MASK) != 0 && !held.Held(object.gid))
                Fail(map.path + ": object layer " + Quoted(group.name) + ": object " +
                     std::to_string(object.id) + " shows tile id " + GidText(object.gid) +
                     ", which no tile set of the map holds");

    for (const auto& [feature, where] : reading.Notes()) {
        map.unsupported.push_back(feature);
        Log::Warn("TILED", "%s: ignoring %s (first on %s); drawn plainly", map.path.c_str(),
                  feature.c_str(), where.c_str());
    }
}

} // namespace Engine::Tiled::Detail
