// Tiled's worlds: maps listed with their places, and patterns that place the
// files of the world's directory by their names.

#include <engine/tiled/TiledWorld.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <regex>

#include <engine/core/Log.h>

#include "tiled/Json.h"
#include "tiled/Reader.h"

namespace Engine::Tiled {

using Detail::Fail;
using Detail::Num;
using Detail::Quoted;
using json = nlohmann::json;

namespace {

// Far enough for any world a person lays out, near enough that a corner
// plus a size still fits an int.
constexpr int64_t MAX_COORDINATE = int64_t(1) << 30;
// Tiled's patterns are a few dozen characters.
constexpr size_t MAX_REGEXP = 256;
// Enough for any pattern of that length that spells its counts out; holds
// the time a name takes to about a millisecond.
constexpr uint64_t MAX_EXPANDED = 512;

bool InRange(int64_t v) {
    return v >= -MAX_COORDINATE && v <= MAX_COORDINATE;
}

// Whether the expression refers back to a capture (\1 to \9): only then
// would std::regex fall back to backtracking.
bool RefersBack(std::string_view re) {
    for (size_t i = 0; i + 1 < re.size(); ++i)
        if (re[i] == '\\') {
            if (re[i + 1] >= '1' && re[i + 1] <= '9')
                return true;
            ++i;
        }
    return false;
}

// At most how many states the expression compiles to, within a factor:
// each character one, a group its contents, a counted repetition its atom
// that many times over. Matching takes time with the states and the name.
uint64_t Expanded(std::string_view re) {
    constexpr uint64_t huge = uint64_t(1) << 40;
    std::vector<uint64_t> groups{0};
    uint64_t last = 0;
    auto add = [&](uint64_t n) { groups.back() = std::min(huge, groups.back() + n); };
    for (size_t i = 0; i < re.size(); ++i) {
        const char c = re[i];
        if (c == '(') {
            groups.push_back(0);
            continue;
        }
        if (c == ')' && groups.size() > 1) {
            last = groups.back() + 1;
            groups.pop_back();
            add(last);
            continue;
        }
        if (c == '{') {
            uint64_t count = 0;
            size_t j = i + 1;
            for (; j < re.size() && (std::isdigit(static_cast<unsigned char>(re[j])) ||
                                     re[j] == ','); ++j)
                if (re[j] != ',')
                    count = std::min(huge, count * 10 + uint64_t(re[j] - '0'));
            if (j < re.size() && re[j] == '}') {
                // Every number's digits run together: more, never fewer.
                add(std::min(huge, last * count));
                last = std::min(huge, last * (count + 1));
                i = j;
                continue;
            }
        }
        if (c == '\\')
            ++i;
        else if (c == '[')
            // A class is one state: skip to its end, escapes and a leading ] in it.
            for (size_t j = i + 2; j < re.size(); ++j) {
                if (re[j] == '\\')
                    ++j;
                else if (re[j] == ']') {
                    i = j;
                    break;
                }
            }
        last = 1;
        add(1);
    }
    uint64_t total = 0;
    for (const uint64_t g : groups)
        total = std::min(huge, total + g);
    return total;
}

// A pattern matched as Tiled matches it, searching the name. Run as a match
// of the whole name, with what may come before and after: a search tries
// every start in turn, which costs a factor of the name's length.
struct Regexp {
    std::regex whole;
    unsigned captures = 0;
};

Regexp Compile(const std::string& re, const std::string& where) {
    if (re.size() > MAX_REGEXP)
        Fail(where + ": regexp of " + Num(int64_t(re.size())) + " characters, more than " +
             Num(MAX_REGEXP));
    if (RefersBack(re))
        Fail(where + ": regexp " + Quoted(re) + " refers back to a capture, which is not taken");
    if (Expanded(re) > MAX_EXPANDED)
        Fail(where + ": regexp " + Quoted(re) + " repeats too much (more than " +
             Num(MAX_EXPANDED) + " parts once its counts are spelt out)");
    // libstdc++'s polynomial mode matches by walking every state at once:
    // no backtracking, so no time or stack growing exponentially with a name.
    const auto flags = std::regex::ECMAScript | std::regex_constants::__polynomial;
    Regexp compiled;
    try {
        // On its own first: wrapped, an unbalanced one could pass.
        compiled.captures = unsigned(std::regex(re, flags).mark_count());
        compiled.whole = std::regex("^[\\s\\S]*?(?:" + re + ")[\\s\\S]*$", flags);
    } catch (const std::regex_error& error) {
        Fail(where + ": regexp " + Quoted(re) + " is not a regular expression: " + error.what());
    }
    if (compiled.captures < 2)
        Fail(where + ": regexp " + Quoted(re) +
             " has fewer than two captures (the map's column and row)");
    return compiled;
}

class WorldReader {
public:
    WorldReader(World& world, const Limits& limits) : m_world(world), m_limits(limits) {}

    void Read(std::string_view text) {
        const std::string& path = m_world.path;
        if (text.size() > m_limits.maxFileBytes)
            Fail(path + ": " + Num(int64_t(text.size())) + " bytes, more than the limit of " +
                 Num(int64_t(m_limits.maxFileBytes)));
        if (Detail::Sniff(text) != Detail::Format::Json)
            Fail(path + ": not a Tiled world (JSON)");
        const json root = Detail::ParseJson(text, path, m_limits);
        if (const std::string type = Detail::String(root, "type", path);
            !type.empty() && type != "world")
            Fail(path + ": a " + Quoted(type) + ", not a Tiled world");
        m_world.onlyShowAdjacentMaps =
            Detail::Bool(root, "onlyShowAdjacentMaps", false, path);
        const json& listed = Detail::Array(root, "maps", path);
        for (size_t i = 0; i < listed.size(); ++i)
            Listed(listed[i], path + ": map " + Num(int64_t(i)));
        const json& patterns = Detail::Array(root, "patterns", path);
        for (size_t i = 0; i < patterns.size(); ++i)
            Pattern(patterns[i], patterns.size(), path + ": pattern " + Num(int64_t(i)));
    }

private:
    void Listed(const json& entry, const std::string& where) {
        if (!entry.is_object())
            Fail(where + " is not an object");
        WorldMap map;
        map.fileName = Detail::String(entry, "fileName", where);
        if (map.fileName.empty())
            Fail(where + " names no file (fileName)");
        const std::string at = m_world.path + ": map " + Quoted(map.fileName);
        map.x = Detail::Int(entry, "x", 0, at);
        map.y = Detail::Int(entry, "y", 0, at);
        map.width = Size(entry, "width", at);
        map.height = Size(entry, "height", at);
        if (!InRange(map.x) || !InRange(map.y) || !InRange(int64_t(map.x) + map.width) ||
            !InRange(int64_t(map.y) + map.height))
            Fail(at + ": at (" + Num(map.x) + ", " + Num(map.y) + "), " + Num(map.width) + " x " +
                 Num(map.height) + " pixels, reaches past " + Num(MAX_COORDINATE));
        map.path = Detail::ResolvePath(m_world.path, map.fileName);
        Add(std::move(map), "");
    }

    void Pattern(const json& entry, size_t count, const std::string& where) {
        if (!entry.is_object())
            Fail(where + " is not an object");
        const std::string re = Detail::String(entry, "regexp", where);
        const std::string at = where + " " + Quoted(re);
        const Regexp regexp = Compile(re, where);
        const int multiplierX = Detail::Int(entry, "multiplierX", 1, at);
        const int multiplierY = Detail::Int(entry, "multiplierY", 1, at);
        const int offsetX = Detail::Int(entry, "offsetX", 0, at);
        const int offsetY = Detail::Int(entry, "offsetY", 0, at);
        const int width = Size(entry, "mapWidth", at);
        const int height = Size(entry, "mapHeight", at);
        for (const std::string& name : Names(count)) {
            std::smatch match;
            if (!std::regex_match(name, match, regexp.whole))
                continue;
            WorldMap map;
            map.fileName = name;
            map.path = Detail::ResolvePath(m_world.path, name);
            int column = 0, row = 0;
            if (!Whole(match[1], column) || !Whole(match[2], row)) {
                Skip(map, "its name gives no whole numbers to place it by (" + at + ")");
                continue;
            }
            const int64_t x = int64_t(column) * multiplierX + offsetX;
            const int64_t y = int64_t(row) * multiplierY + offsetY;
            if (!InRange(x) || !InRange(y) || !InRange(x + width) || !InRange(y + height)) {
                Skip(map, "its name places it at (" + Num(x) + ", " + Num(y) + "), past " +
                              Num(MAX_COORDINATE) + " (" + at + ")");
                continue;
            }
            map.x = int(x);
            map.y = int(y);
            map.width = width;
            map.height = height;
            Add(std::move(map), at);
        }
    }

    // A size the world gives, or 0 for none (the map's own is read).
    static int Size(const json& entry, const char* key, const std::string& where) {
        const int size = Detail::Int(entry, key, 0, where);
        if (size < 0 || size > MAX_COORDINATE)
            Fail(where + ": " + key + " " + Num(size) + " must be 0 to " + Num(MAX_COORDINATE));
        return size;
    }

    static bool Whole(const std::ssub_match& capture, int& value) {
        if (!capture.matched || capture.length() == 0)
            return false;
        return Detail::ParseInt(std::string_view(&*capture.first, size_t(capture.length())),
                                value);
    }

    // The names of the world directory's files, sorted, listed once for all
    // patterns; each pattern tries every one.
    const std::vector<std::string>& Names(size_t patterns) {
        if (m_listed)
            return m_names;
        m_listed = true;
        namespace fs = std::filesystem;
        const fs::path dir = fs::path(m_world.path).parent_path();
        std::error_code ec;
        fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
        if (ec)
            Fail(m_world.path + ": cannot list its directory for its patterns: " + ec.message());
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec)
                Fail(m_world.path + ": cannot list its directory: " + ec.message());
            std::error_code kind;
            if (!it->is_regular_file(kind))
                continue;
            if (uint64_t(m_names.size() + 1) * patterns > m_limits.maxWorldNames)
                Fail(m_world.path + ": its " + Num(int64_t(patterns)) +
                     " patterns would try more than the limit of " +
                     Num(int64_t(m_limits.maxWorldNames)) + " names in its directory");
            m_names.push_back(it->path().filename().string());
        }
        std::sort(m_names.begin(), m_names.end());
        return m_names;
    }

    // The map placed. A finite map's size is the world's, else its header's;
    // an infinite map is where Tiled draws it, its cell (0, 0) at the
    // world's place, and as large as the box around its chunks.
    void Add(WorldMap map, const std::string& pattern) {
        if (m_world.maps.size() >= m_limits.maxWorldMaps)
            Fail(m_world.path + ": more than the limit of " +
                 Num(int64_t(m_limits.maxWorldMaps)) + " maps");
        const std::string by = pattern.empty() ? "" : " (" + pattern + ")";
        // Every message about a map starts with its path: a name that would
        // drive the terminal names no map a world should have.
        if (Printable(map.path) != map.path) {
            Skip(map, "its name holds control characters" + by);
            return;
        }
        const bool sized = map.width > 0 && map.height > 0;
        const std::optional<Detail::Placement> placed = PlacementOf(map.path, sized);
        if (!placed) {
            if (!sized)
                return;
            // Kept as the world gives it, as Tiled shows its frame: a game
            // loading it meets its fault.
            std::error_code ec;
            if (!std::filesystem::is_regular_file(map.path, ec)) {
                Skip(map, "no such file");
                return;
            }
        } else if (placed->infinite || !sized) {
            const PixelBox& box = placed->box;
            if (!(box.width > 0 && box.height > 0)) {
                Skip(map, "an infinite map without chunks, so of no size" + by);
                return;
            }
            const double reach = std::max(box.width, box.height);
            const int64_t x = map.x + int64_t(std::floor(box.x));
            const int64_t y = map.y + int64_t(std::floor(box.y));
            if (!(reach <= double(MAX_COORDINATE)) || !InRange(x) || !InRange(y) ||
                !InRange(x + int64_t(box.width)) || !InRange(y + int64_t(box.height))) {
                Skip(map, "its size reaches past " + Num(MAX_COORDINATE) + by);
                return;
            }
            map.x = int(x);
            map.y = int(y);
            if (placed->infinite || map.width == 0)
                map.width = int(std::ceil(box.width));
            if (placed->infinite || map.height == 0)
                map.height = int(std::ceil(box.height));
        }
        m_world.maps.push_back(std::move(map));
    }

    // How the map lies, from its header and an infinite map's chunks;
    // nothing when it cannot be read, with a warning unless the world gives
    // its size (`sized`). Reading the whole map would read its tile sets and
    // templates too, for every map of the world, and refuse the world for a
    // fault of one map's that a game loading it would meet anyway.
    std::optional<Detail::Placement> PlacementOf(const std::string& path, bool sized) {
        Detail::Reading reading(path, m_limits);
        try {
            const std::string text = reading.ReadFile(path, path);
            // A finite map the world sizes is placed by the world alone:
            // parsing its layers only to learn that would cost a world of
            // large JSON maps a good part of a second.
            if (sized && Detail::PeekInfinite(text) == std::optional<bool>(false))
                return Detail::Placement{};
            // All the maps sized together, as the files of one map are.
            m_bytes += text.size();
            if (m_bytes > m_limits.maxTotalBytes)
                throw TooMuch();
            const auto doc = Detail::Open(text, path, m_limits, "a TMX (XML) nor a JSON map");
            return Detail::ReadPlacement(*doc, reading);
        } catch (const MapError& error) {
            if (!sized)
                Log::Warn("TILED", "%s: map skipped: %s", m_world.path.c_str(), error.what());
        } catch (const TooMuch&) {
            Fail(m_world.path + ": its maps come to more than the limit of " +
                 Num(int64_t(m_limits.maxTotalBytes)) + " bytes");
        }
        return std::nullopt;
    }

    void Skip(const WorldMap& map, const std::string& why) {
        Log::Warn("TILED", "%s: map %s skipped: %s", m_world.path.c_str(),
                  Quoted(map.path).c_str(), why.c_str());
    }

    struct TooMuch {};

    World& m_world;
    const Limits& m_limits;
    std::vector<std::string> m_names;
    bool m_listed = false;
    uint64_t m_bytes = 0;
};

} // namespace

Rectangle WorldMap::Bounds() const {
    return {float(x), float(y), float(width), float(height)};
}

std::vector<const WorldMap*> World::MapsIn(const Rectangle& view) const {
    std::vector<const WorldMap*> found;
    if (view.Empty())
        return found;
    // In doubles: a map's far edge may lie past float's whole numbers.
    const double left = view.x, top = view.y;
    const double right = left + double(view.width), bottom = top + double(view.height);
    for (const WorldMap& map : maps)
        if (map.width > 0 && map.height > 0 && map.x < right && left < double(map.x) + map.width &&
            map.y < bottom && top < double(map.y) + map.height)
            found.push_back(&map);
    return found;
}

const WorldMap* World::MapAt(glm::vec2 point) const {
    const double px = point.x, py = point.y;
    for (auto it = maps.rbegin(); it != maps.rend(); ++it)
        if (px >= it->x && px < double(it->x) + it->width && py >= it->y &&
            py < double(it->y) + it->height)
            return &*it;
    return nullptr;
}

Rectangle World::Bounds() const {
    // In doubles, as MapsIn: the far edges may lie past float's whole numbers.
    bool any = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    for (const WorldMap& map : maps) {
        if (map.width <= 0 || map.height <= 0)
            continue;
        const double r = double(map.x) + map.width, b = double(map.y) + map.height;
        left = any ? std::min(left, double(map.x)) : map.x;
        top = any ? std::min(top, double(map.y)) : map.y;
        right = any ? std::max(right, r) : r;
        bottom = any ? std::max(bottom, b) : b;
        any = true;
    }
    return {float(left), float(top), float(right - left), float(bottom - top)};
}

World ParseWorld(std::string_view text, const std::string& path, const Limits& limits) {
    World world;
    world.path = path;
    WorldReader(world, limits).Read(text);
    return world;
}

World LoadWorld(const std::string& path, const Limits& limits) {
    Detail::Reading reading(path, limits);
    const std::string text = reading.ReadFile(path, path);
    return ParseWorld(text, path, limits);
}

} // namespace Engine::Tiled
