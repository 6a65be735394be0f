#include "tiled/Reading.h"

#include "core/RegularFile.h"
#include "tiled/Node.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace Engine::Tiled {

std::string Printable(std::string name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F)
            name[i] = '?';
        // U+0080 to U+009F: 0xC2 then 0x80 to 0x9F.
        else if (c == 0xC2 && i + 1 < name.size() &&
                 (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80)
            name.replace(i, 2, "?");
    }
    return name;
}

} // namespace Engine::Tiled

namespace Engine::Tiled::Detail {

void Fail(const std::string& message) {
    throw MapError(message);
}

std::string Reading::ReadFile(const std::string& path, const std::string& where) {
    using Engine::Detail::ReadRegular;
    using Engine::Detail::RegularRead;
    // No more than the file's own limit, nor than what the map's files have left.
    const uint64_t left = m_limits.maxTotalBytes - std::min(m_bytes, m_limits.maxTotalBytes);
    const uint64_t limit = std::min<uint64_t>(m_limits.maxFileBytes, left);
    std::string text;
    const RegularRead read =
        ReadRegular(path.c_str(), size_t(std::min<uint64_t>(limit, SIZE_MAX)), text);
    switch (read.outcome) {
    case RegularRead::Read:
        break;
    case RegularRead::Missing:
    case RegularRead::CannotOpen:
        Fail(where + ": cannot open: " + std::strerror(read.error));
    case RegularRead::NotRegular:
        Fail(where + ": not a regular file");
    case RegularRead::TooLarge:
        if (read.size > m_limits.maxFileBytes)
            Fail(where + ": " + Num(read.size) + " bytes, more than the limit of " +
                 Num(m_limits.maxFileBytes));
        Fail(where + ": the files of " + m_mapPath + " come to more than the limit of " +
             Num(m_limits.maxTotalBytes) + " bytes");
    case RegularRead::CannotRead:
        Fail(where + ": cannot read: " + std::strerror(read.error));
    }
    m_bytes += text.size();
    return text;
}

Image Reading::ReadImage(const std::string& path, const std::string& where) {
    // 1 GiB decoded: a few bytes of a file could otherwise ask for many times that.
    constexpr uint64_t MAX_PIXELS = uint64_t(1) << 28;
    const std::string bytes = ReadFile(path, where);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const Image::Info info = Image::Peek(data, bytes.size());
    if (!info.error.empty())
        Fail(where + ": " + info.error);
    const uint64_t pixels = uint64_t(info.width) * uint64_t(info.height);
    if (m_pixels + pixels > MAX_PIXELS)
        Fail(where + ": the images of " + m_mapPath + " come to more than the limit of " +
             Num(MAX_PIXELS) + " pixels");
    m_pixels += pixels;
    Image image = Image::Decode(data, bytes.size());
    if (image.Empty())
        Fail(where + ": " + image.Error());
    return image;
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

void Reading::TakePoints(uint64_t points, const std::string& where) {
    if (m_points + points > m_limits.maxPoints)
        Fail(where + ": the polygons and polylines come to more than the limit of " +
             Num(m_limits.maxPoints) + " points");
    m_points += points;
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

std::optional<bool> PeekInfinite(std::string_view text) {
    switch (Sniff(text)) {
    case Format::Json:
        return PeekJsonInfinite(text);
    case Format::Other:
        return std::nullopt;
    case Format::Xml:
        break;
    }
    // Past the declaration, comments and a doctype to the root's start tag.
    size_t at = text.find('<');
    for (;;) {
        if (at == std::string_view::npos)
            return std::nullopt;
        const std::string_view rest = text.substr(at);
        size_t end;
        if (rest.starts_with("<?"))
            end = text.find("?>", at);
        else if (rest.starts_with("<!--"))
            end = text.find("-->", at);
        else if (rest.starts_with("<!") && !rest.starts_with("<![CDATA["))
            end = text.find('>', at);
        else
            break;
        if (end == std::string_view::npos)
            return std::nullopt;
        at = text.find('<', end);
    }
    if (!text.substr(at).starts_with("<map") || at + 4 >= text.size() ||
        !(IsSpace(text[at + 4]) || text[at + 4] == '>' || text[at + 4] == '/'))
        return std::nullopt;
    // Its attributes, name="value" or name='value', up to the tag's end.
    // 0 finite (Tiled's default), 1 infinite, -1 said otherwise.
    int infinite = 0;
    for (size_t i = at + 4; i < text.size();) {
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        if (i < text.size() && (text[i] == '>' || text[i] == '/'))
            return infinite < 0 ? std::nullopt : std::optional<bool>(infinite == 1);
        const size_t eq = text.find('=', i);
        if (eq == std::string_view::npos || eq + 1 >= text.size())
            return std::nullopt;
        std::string_view name = text.substr(i, eq - i);
        while (!name.empty() && IsSpace(name.back()))
            name.remove_suffix(1);
        size_t open = eq + 1;
        while (open < text.size() && IsSpace(text[open]))
            ++open;
        if (open >= text.size() || (text[open] != '"' && text[open] != '\''))
            return std::nullopt;
        const size_t close = text.find(text[open], open + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        if (name == "infinite") {
            const std::string_view value = text.substr(open + 1, close - open - 1);
            infinite = value == "1" ? 1 : value == "0" ? 0 : -1;
        }
        i = close + 1;
    }
    return std::nullopt;
}

std::string ResolvePath(const std::string& from, const std::string& relative) {
    const std::filesystem::path rel(relative);
    if (rel.is_absolute())
        return rel.lexically_normal().string();
    // As Tiled cleans paths: by their text, not by following links.
    return (std::filesystem::path(from).parent_path() / rel).lexically_normal().string();
}

Properties Node::PropertiesOf(const std::string& file, const std::string& where,
                              const Limits& limits) const {
    Properties properties = OwnProperties(where, limits);
    ResolveFiles(properties, file);
    return properties;
}

void ResolveFiles(Properties& properties, const std::string& from) {
    for (Property& p : properties) {
        if (p.type == "file" && !p.value.empty())
            p.path = ResolvePath(from, p.value);
        ResolveFiles(p.members, from);
    }
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

uint32_t MultiplyColors(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (((a >> shift) & 0xFFu) * ((b >> shift) & 0xFFu) / 255u) << shift;
    return out;
}

std::string Quoted(const std::string& name) {
    // Appended rather than "\"" + ...: GCC 12 at -O3 warns of a false overlap there.
    std::string quoted = "\"";
    quoted += Printable(name);
    quoted += '"';
    return quoted;
}

void CheckDepth(int depth, const Limits& limits, const std::string& where, const char* what) {
    if (depth > limits.maxDepth)
        Fail(where + ": " + what + " nest more than " + std::to_string(limits.maxDepth) + " deep");
}

} // namespace Engine::Tiled::Detail
