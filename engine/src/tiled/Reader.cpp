// Maps read from nodes: the header, tile sets, layers of every kind with
// their groups' looks, objects and the templates they are made from, and an
// infinite map's chunks placed on one grid.

#include "tiled/Reader.h"

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <map>
#include <queue>
#include <unordered_map>

#include <engine/image/Image.h>

#include "tiled/LayerData.h"

namespace Engine::Tiled::Detail {

std::unique_ptr<Document> Open(std::string_view text, const std::string& where,
                               const Limits& limits, const char* what) {
    switch (Sniff(text)) {
    case Format::Xml:
        return OpenXml(text, where);
    case Format::Json:
        return OpenJson(text, where, limits);
    case Format::Other:
        break;
    }
    // Debian ships some of Tiled's own example maps and tile sets gzipped.
    if (text.size() >= 2 && text[0] == '\x1f' && text[1] == '\x8b')
        Fail(where + ": neither " + what + ": it is gzip-compressed, unpack it first (gunzip)");
    Fail(where + ": neither " + what);
}

namespace {

// What a layer takes from the groups around it.
struct Inherited {
    bool visible = true;
    LayerLook look;
    std::vector<LayerGroup> groups; // the outermost first
};

// A chunk of an infinite map's layer, in Tiled's cells.
struct Chunk {
    int64_t x, y, width, height;
    NodePtr node;
};

// A tile layer of an infinite map, its chunks placed once all are known.
struct ChunkedLayer {
    size_t layer;
    std::string where;
    std::string encoding, compression;
    std::vector<Chunk> chunks;
};

// "column 3, row -2", for messages.
std::string Cell(int64_t x, int64_t y) {
    return "column " + Num(x) + ", row " + Num(y);
}

// Refuses the first two chunks of a layer that share a cell: a sweep from
// left to right, holding the chunks it is inside of by their top rows.
void CheckNoOverlap(const std::vector<Chunk>& chunks, const std::string& where) {
    std::vector<const Chunk*> byLeft;
    for (const Chunk& c : chunks)
        byLeft.push_back(&c);
    std::sort(byLeft.begin(), byLeft.end(), [](const Chunk* a, const Chunk* b) {
        return a->x < b->x || (a->x == b->x && a->y < b->y);
    });
    std::map<int64_t, const Chunk*> open;     // by top row; they never share rows
    using Exit = std::pair<int64_t, int64_t>; // right edge, top row
    std::priority_queue<Exit, std::vector<Exit>, std::greater<>> exits;
    for (const Chunk* c : byLeft) {
        while (!exits.empty() && exits.top().first <= c->x) {
            open.erase(exits.top().second);
            exits.pop();
        }
        auto below = open.lower_bound(c->y);
        const Chunk* other = nullptr;
        if (below != open.end() && below->first < c->y + c->height)
            other = below->second;
        else if (below != open.begin() &&
                 std::prev(below)->second->y + std::prev(below)->second->height > c->y)
            other = std::prev(below)->second;
        if (other)
            Fail(where + ": its chunks at " + Cell(other->x, other->y) + " and " +
                 Cell(c->x, c->y) + " overlap");
        open.emplace(c->y, c);
        exits.emplace(c->x + c->width, c->y);
    }
}

void Shape(const Node& node, Object& object, const std::string& at, Reading& reading) {
    std::string shape;
    std::vector<ObjectPoint> points;
    ObjectText text;
    for (const char* mark : {"ellipse", "point"})
        if (node.Marked(mark, at))
            shape = mark;
    for (const char* line : {"polygon", "polyline"})
        if (node.Points(
                line,
                [&](double x, double y) {
                    reading.TakePoints(1, at);
                    points.push_back({x, y});
                },
                at))
            shape = line;
    if (const NodePtr words = node.Child("text", at)) {
        shape = "text";
        text.text = words->Body(at);
        if (std::string family = words->String("fontfamily", at); !family.empty())
            text.fontFamily = std::move(family);
        text.pixelSize = words->Int("pixelsize", text.pixelSize, at);
        text.wrap = words->Bool("wrap", false, at);
        text.color = ColorOf(*words, "color", at).value_or(text.color);
        text.bold = words->Bool("bold", false, at);
        text.italic = words->Bool("italic", false, at);
        text.underline = words->Bool("underline", false, at);
        text.strikeout = words->Bool("strikeout", false, at);
        text.kerning = words->Bool("kerning", true, at);
        if (std::string h = words->String("halign", at); !h.empty())
            text.hAlign = std::move(h);
        if (std::string v = words->String("valign", at); !v.empty())
            text.vAlign = std::move(v);
    }
    // An object that gives its shape replaces its template's.
    if (shape.empty())
        return;
    object.shape = shape;
    object.points = std::move(points);
    object.text = std::move(text);
}

} // namespace

// Object layers, templates and tiles' collision shapes alike.
void ReadObject(const Node& node, Object& object, const std::string& file, const std::string& at,
                Reading& reading) {
    if (std::string name = node.String("name", at); !name.empty())
        object.name = std::move(name);
    if (std::string className = ClassOf(node, at); !className.empty())
        object.className = std::move(className);
    for (auto [key, field] : {std::pair{"x", &object.x},
                              {"y", &object.y},
                              {"width", &object.width},
                              {"height", &object.height},
                              {"rotation", &object.rotation}})
        *field = node.Double(key, *field, at);
    object.visible = node.Bool("visible", object.visible, at);
    if (node.Has("gid"))
        object.gid = node.Gid("gid", at);
    Shape(node, object, at, reading);
    // Its own replace its template's of the same name; found by an index, as
    // a walk through the list for each of many would take their square's time.
    std::unordered_map<std::string, size_t> named;
    for (size_t i = 0; i < object.properties.size(); ++i)
        named.try_emplace(object.properties[i].name, i);
    for (Property& p : node.PropertiesOf(file, at, reading.GetLimits())) {
        const auto [same, added] = named.try_emplace(p.name, object.properties.size());
        if (added)
            object.properties.push_back(std::move(p));
        else
            object.properties[same->second] = std::move(p);
    }
}

namespace {

class MapReader {
public:
    MapReader(Map& map, Reading& reading)
        : m_map(map), m_reading(reading), m_limits(reading.GetLimits()) {}

    // The map's own attributes: its size, grid and looks.
    void ReadHeader(const Document& doc) {
        const std::string kind = doc.Kind();
        // Tiled before 1.2 wrote JSON maps without a "type".
        if (kind != "map" && !(kind.empty() && doc.Root().Has("orientation")))
            Fail(m_map.path + ": " + (kind.empty() ? "it says of no type" : "a " + Quoted(kind)) +
                 ", not a Tiled map");
        Header(doc.Root());
    }

    void Read(const Document& doc) {
        const std::string& path = m_map.path;
        ReadHeader(doc);
        const Node& root = doc.Root();
        m_map.properties = root.PropertiesOf(path, path, m_limits);
        for (const NodePtr& node : root.Children("tileset", path)) {
            const int firstGid = node->Int("firstgid", 0, path + ": a tile set");
            if (firstGid < 1)
                Fail(path + ": tile set " + Quoted(node->String("name", path)) +
                     " has no first id (firstgid) of 1 or more");
            if (node->Has("source"))
                m_map.tilesets.push_back(LoadTileset(node->String("source", path), path,
                                                     path + ": a tile set", m_reading));
            else
                m_map.tilesets.push_back(ReadTileset(*node, path, path + ": tile set", m_reading));
            m_map.tilesets.back().firstGid = uint32_t(firstGid);
        }
        Layers(root, Inherited{}, 0);
        if (m_map.infinite)
            PlaceChunks();
    }

    // The header and, for an infinite map, its tile layers' chunks without
    // their cells: what a world needs to place the map, and no file it names.
    Placement ReadPlacement(const Document& doc) {
        ReadHeader(doc);
        if (!m_map.infinite)
            return {false, m_map.Extent()};
        m_placing = true;
        Layers(doc.Root(), Inherited{}, 0);
        const bool none = std::all_of(m_chunked.begin(), m_chunked.end(),
                                      [](const ChunkedLayer& l) { return l.chunks.empty(); });
        if (none)
            return {true, {}};
        PlaceChunks();
        PixelBox box = m_map.Extent();
        box.x = m_shift.x;
        box.y = m_shift.y;
        return {true, box};
    }

private:
    void Header(const Node& root) {
        const std::string& path = m_map.path;
        m_map.width = root.Int("width", 0, path);
        m_map.height = root.Int("height", 0, path);
        m_map.tileWidth = root.Int("tilewidth", 0, path);
        m_map.tileHeight = root.Int("tileheight", 0, path);
        Orientation(root);
        m_map.infinite = root.Bool("infinite", false, path);
        const int maxSide = Image::MAX_SIDE;
        if (m_map.tileWidth < 1 || m_map.tileHeight < 1 || m_map.tileWidth > maxSide ||
            m_map.tileHeight > maxSide)
            Fail(path + ": tiles of " + Num(m_map.tileWidth) + " x " + Num(m_map.tileHeight) +
                 " pixels; each side must be 1 to " + Num(maxSide));
        // An infinite map's size is its chunks', known once they are read.
        if (!m_map.infinite)
            CheckSize(m_map.width, m_map.height, "the map is");
        m_map.className = root.String("class", path);
        if (const std::string order = root.String("renderorder", path); !order.empty())
            m_map.renderOrder = order;
        m_map.backgroundColor = ColorOf(root, "backgroundcolor", path);
        m_map.parallaxOriginX = root.Double("parallaxoriginx", 0.0, path);
        m_map.parallaxOriginY = root.Double("parallaxoriginy", 0.0, path);
    }

    // How its cells are laid out; what does not apply to its orientation is
    // checked all the same, as Tiled would read it were the orientation changed.
    void Orientation(const Node& root) {
        const std::string& path = m_map.path;
        auto oneOf = [&](const char* key, std::initializer_list<const char*> values,
                         std::string& field) {
            const std::string value = root.String(key, path);
            if (value.empty() && std::string_view(key) != "orientation")
                return;
            for (const char* v : values)
                if (value == v) {
                    field = value;
                    return;
                }
            std::string known;
            for (const char* v : values)
                known += std::string(known.empty() ? "" : ", ") + Quoted(v);
            Fail(path + ": the map's " + key + " is " +
                 (value.empty() ? std::string("not given") : Quoted(value)) +
                 "; it must be one of " + known);
        };
        oneOf("orientation", {"orthogonal", "isometric", "staggered", "hexagonal"},
              m_map.orientation);
        oneOf("staggeraxis", {"x", "y"}, m_map.staggerAxis);
        oneOf("staggerindex", {"odd", "even"}, m_map.staggerIndex);
        m_map.hexSideLength = root.Int("hexsidelength", 0, path);
        if (m_map.hexSideLength < 0 || m_map.hexSideLength > Image::MAX_SIDE)
            Fail(path + ": hexagons' sides of " + Num(m_map.hexSideLength) +
                 " pixels (hexsidelength); they must be 0 to " + Num(Image::MAX_SIDE));
    }

    void CheckSize(int64_t width, int64_t height, const char* what) const {
        const std::string& path = m_map.path;
        if (width < 1 || height < 1)
            Fail(path + ": " + what + " " + Num(width) + " x " + Num(height) +
                 " cells; both must be at least 1");
        const bool wide = width > INT_MAX || height > INT_MAX;
        // Sides that fit ints cannot overflow the product.
        const uint64_t cells = wide ? 0 : uint64_t(width) * uint64_t(height);
        if (wide || cells > m_limits.maxCells)
            Fail(path + ": " + what + " " + Num(width) + " x " + Num(height) +
                 (wide ? std::string() : " = " + std::to_string(cells)) +
                 " cells, more than the limit of " + std::to_string(m_limits.maxCells));
    }

    // A layer's or group's own visibility and looks combined with its groups'.
    static Inherited Combine(const Inherited& parent, const Node& node, const std::string& where) {
        Inherited own;
        own.groups = parent.groups;
        own.visible = parent.visible && node.Bool("visible", true, where);
        // Tiled keeps a place in cells too that it never lets differ from 0.
        node.Int("x", 0, where);
        node.Int("y", 0, where);
        LayerLook& look = own.look;
        look.opacity =
            parent.look.opacity * std::clamp(node.Double("opacity", 1.0, where), 0.0, 1.0);
        look.tint = MultiplyColors(parent.look.tint,
                                   ColorOf(node, "tintcolor", where).value_or(0xFFFFFFFFu));
        look.offsetX = parent.look.offsetX + node.Double("offsetx", 0.0, where);
        look.offsetY = parent.look.offsetY + node.Double("offsety", 0.0, where);
        look.parallaxX = parent.look.parallaxX * node.Double("parallaxx", 1.0, where);
        look.parallaxY = parent.look.parallaxY * node.Double("parallaxy", 1.0, where);
        return own;
    }

    void Layers(const Node& parent, const Inherited& inherited, int depth) {
        const std::string& path = m_map.path;
        for (const auto& [kind, node] : parent.Layers(path)) {
            const std::string name = node->String("name", path + ": a layer");
            if (kind == "tilelayer") {
                TileLayerOf(*node, name, inherited);
            } else if (m_placing && kind != "group") {
                continue;
            } else if (kind == "objectgroup") {
                ObjectsOf(*node, name, inherited);
            } else if (kind == "imagelayer") {
                ImageLayerOf(*node, name, inherited);
            } else if (kind == "group") {
                const std::string where = path + ": group " + Quoted(name);
                CheckDepth(depth + 1, m_limits, where, "groups");
                Inherited inner = Combine(inherited, *node, where);
                inner.groups.push_back({node->Int("id", 0, where), name,
                                        node->String("class", where),
                                        node->PropertiesOf(path, where, m_limits)});
                Layers(*node, inner, depth + 1);
            } else {
                Fail(path + ": layer " + Quoted(name) + " is of the unknown type " + Quoted(kind));
            }
        }
    }

    // What every kind of layer has; returns where it is, for messages.
    std::string ReadBase(LayerBase& layer, const Node& node, const std::string& name,
                         const char* kind, const Inherited& inherited) {
        layer.name = name;
        const std::string where = m_map.path + ": " + kind + " " + Quoted(name);
        layer.id = node.Int("id", 0, where);
        layer.className = node.String("class", where);
        const Inherited own = Combine(inherited, node, where);
        layer.visible = own.visible;
        layer.look = own.look;
        layer.groups = std::move(own.groups);
        layer.properties = node.PropertiesOf(m_map.path, where, m_limits);
        return where;
    }

    template <typename L> void Add(std::vector<L>& layers, LayerKind kind, L layer) {
        m_map.layerOrder.push_back({kind, layers.size()});
        layers.push_back(std::move(layer));
    }

    void TileLayerOf(const Node& node, const std::string& name, const Inherited& inherited) {
        TileLayer layer;
        const std::string where = ReadBase(layer, node, name, "layer", inherited);
        NodePtr data = node.Data();
        if (m_map.infinite) {
            ChunkedLayer chunked{m_map.layers.size(), where, {}, {}, {}};
            if (data) {
                chunked.encoding = data->String("encoding", where);
                chunked.compression = data->String("compression", where);
                for (NodePtr& chunk : data->Children("chunk", where)) {
                    const int64_t x = chunk->Int("x", 0, where), y = chunk->Int("y", 0, where);
                    const std::string at = where + ": the chunk at " + Cell(x, y);
                    const int64_t w = chunk->Int("width", 0, at), h = chunk->Int("height", 0, at);
                    if (w < 1 || h < 1)
                        Fail(at + ": " + Num(w) + " x " + Num(h) +
                             " cells; both must be at least 1");
                    chunked.chunks.push_back({x, y, w, h, std::move(chunk)});
                }
                // Cells kept as a finite map keeps them are one chunk at the
                // origin, as Tiled reads them.
                std::string_view text;
                const bool isText = data->CellText(text);
                if (chunked.chunks.empty() &&
                    (!isText || text.find_first_not_of(" \t\r\n") != std::string_view::npos)) {
                    const int w = node.Int("width", m_map.width, where),
                              h = node.Int("height", m_map.height, where);
                    if (w < 1 || h < 1)
                        Fail(where + ": " + Num(w) + " x " + Num(h) +
                             " cells; both must be at least 1");
                    chunked.chunks.push_back({0, 0, w, h, std::move(data)});
                }
            }
            m_chunked.push_back(std::move(chunked));
        } else {
            layer.width = node.Int("width", m_map.width, where);
            layer.height = node.Int("height", m_map.height, where);
            const size_t cells = m_reading.TakeCells(layer.width, layer.height, where);
            if (!data)
                Fail(where + ": it has no data");
            if (!data->Children("chunk", where).empty())
                Fail(where + ": its data is kept in chunks, as only infinite maps keep it");
            layer.gids = ReadCells(*data, data->String("encoding", where),
                                   data->String("compression", where), cells, where);
        }
        Add(m_map.layers, LayerKind::Tile, std::move(layer));
    }

    void ObjectsOf(const Node& node, const std::string& name, const Inherited& inherited) {
        ObjectGroup group;
        const std::string where = ReadBase(group, node, name, "object layer", inherited);
        if (const std::string order = node.String("draworder", where); !order.empty())
            group.drawOrder = order;
        for (const NodePtr& o : node.Children("object", where)) {
            m_reading.TakeObjects(1, where);
            const int id = o->Int("id", 0, where);
            const std::string at = where + ": object " + Num(id);
            Object object;
            if (o->Has("template"))
                object = Template(o->String("template", at), m_map.path, at);
            ReadObject(*o, object, m_map.path, at, m_reading);
            object.id = id;
            group.objects.push_back(std::move(object));
        }
        Add(m_map.objectGroups, LayerKind::Object, std::move(group));
    }

    void ImageLayerOf(const Node& node, const std::string& name, const Inherited& inherited) {
        ImageLayer layer;
        const std::string where = ReadBase(layer, node, name, "image layer", inherited);
        const ImageRef image = ReadImage(node, m_map.path, where);
        if (image.present && !image.named)
            m_reading.Note("image data kept inside the map", "image layer " + Quoted(name));
        layer.imagePath = image.path;
        layer.imageWidth = image.width;
        layer.imageHeight = image.height;
        layer.transparentColor = image.transparentColor;
        layer.repeatX = node.Bool("repeatx", false, where);
        layer.repeatY = node.Bool("repeaty", false, where);
        Add(m_map.imageLayers, LayerKind::Image, std::move(layer));
    }

    // The object a template file holds, read once for the map, its tile
    // renumbered into the map's global ids; `from` is the file naming it.
    const Object& Template(const std::string& source, const std::string& from,
                           const std::string& at) {
        if (source.empty())
            Fail(at + ": its template names no file");
        const std::string path = ResolvePath(from, source);
        if (const auto known = m_templates.find(path); known != m_templates.end())
            return known->second;
        if (std::find(m_chain.begin(), m_chain.end(), path) != m_chain.end())
            Fail(at + ": the template " + Quoted(path) + " is made from itself");
        CheckDepth(int(m_chain.size()) + 1, m_limits, at, "templates");
        const std::string text = m_reading.ReadFile(path, at + ": template " + Quoted(path));
        const std::string where = Printable(path) + " (template of " + m_map.path + ")";
        const std::unique_ptr<Document> doc =
            Open(text, where, m_limits, "a TX (XML) nor a JSON template");
        if (const std::string kind = doc->Kind(); kind != "template" && !kind.empty())
            Fail(where + ": a " + Quoted(kind) + ", not a Tiled template");
        const NodePtr node = doc->Root().Child("object", where);
        if (!node)
            Fail(where + ": it holds no object");
        m_reading.TakeObjects(1, where);
        m_chain.push_back(path);
        Object object;
        if (node->Has("template"))
            object = Template(node->String("template", where), path, where);
        ReadObject(*node, object, path, where, m_reading);
        if ((node->Gid("gid", where) & GID_MASK) != 0)
            object.gid = Renumber(object.gid, doc->Root(), path, where);
        object.templatePath = path;
        m_chain.pop_back();
        m_map.templates.push_back(path);
        return m_templates.emplace(path, std::move(object)).first->second;
    }

    // A template's tile in the map's numbering: the same tile of the same
    // tile set file, which the map gains when it does not name it itself.
    uint32_t Renumber(uint32_t gid, const Node& root, const std::string& path,
                      const std::string& where) {
        const NodePtr node = root.Child("tileset", where);
        if (!node)
            Fail(where + ": its tile object names no tile set");
        const int64_t first = node->Int("firstgid", 0, where);
        const uint32_t id = gid & GID_MASK;
        if (first < 1 || id < first)
            Fail(where + ": its tile id " + Num(id) + " lies below its tile set's first id " +
                 Num(first));
        size_t index = m_map.tilesets.size();
        if (node->Has("source")) {
            const std::string file = ResolvePath(path, node->String("source", where));
            for (size_t i = 0; i < m_map.tilesets.size(); ++i)
                if (m_map.tilesets[i].source == file)
                    index = i;
        }
        if (index == m_map.tilesets.size()) {
            Tileset ts = node->Has("source")
                             ? LoadTileset(node->String("source", where), path, where, m_reading)
                             : ReadTileset(*node, path, where + ": tile set", m_reading);
            // After the last tile set's ids, as Tiled numbers the one it adds.
            uint64_t next = 1;
            if (!m_map.tilesets.empty()) {
                Tileset& last = m_map.tilesets.back();
                SettleTileset(last, true, TilesetWhere(m_map.path, last), m_reading);
                next = uint64_t(last.firstGid) + std::max<uint64_t>(IdSpan(last), 1);
            }
            if (next > GID_MASK)
                Fail(where + ": no tile id is left for its tile set");
            ts.firstGid = uint32_t(next);
            m_map.tilesets.push_back(std::move(ts));
        }
        const uint64_t renumbered = uint64_t(m_map.tilesets[index].firstGid) + (id - first);
        if (renumbered > GID_MASK)
            Fail(where + ": its tile id " + Num(id) + " runs past the largest tile id in the map");
        return uint32_t(renumbered) | (gid & ~GID_MASK);
    }

    // The chunks of every layer on one grid: the box around them all. Checked
    // whole before a cell is allocated.
    void PlaceChunks() {
        int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
        for (const ChunkedLayer& layer : m_chunked)
            for (const Chunk& c : layer.chunks) {
                left = std::min(left, c.x);
                top = std::min(top, c.y);
                right = std::max(right, c.x + c.width);
                bottom = std::max(bottom, c.y + c.height);
            }
        const bool none = left == INT64_MAX;
        if (none) {
            // Not a chunk anywhere: the size the map gives.
            left = top = 0;
            right = m_map.width;
            bottom = m_map.height;
        }
        CheckSize(right - left, bottom - top, none ? "the map is" : "its chunks span");
        for (const ChunkedLayer& layer : m_chunked)
            CheckNoOverlap(layer.chunks, layer.where);
        const int nominalHeight = m_map.height;
        m_map.width = int(right - left);
        m_map.height = int(bottom - top);
        m_map.originX = int(left);
        m_map.originY = int(top);
        // Everything placed in pixels moves with the grid's corner: a cell's
        // step along each axis at a time.
        double dx = double(left) * m_map.tileWidth, dy = double(top) * m_map.tileHeight;
        double sx = dx, sy = dy; // the same on screen
        if (m_map.orientation == "staggered" || m_map.orientation == "hexagonal") {
            // Odd and even rows (or columns) stay so: CellBox counts them from Tiled's origin.
            const HexGrid g = HexGridOf(m_map);
            dx = sx = double(left) * g.stepX;
            dy = sy = double(top) * g.stepY;
        } else if (m_map.orientation == "isometric") {
            // Objects lie in isometric pixels, tileHeight a cell both ways;
            // pictures on screen move as the corner cell's diamond did, the
            // diamonds' top corner now running down from the box's own height.
            dx = double(left) * m_map.tileHeight;
            dy = double(top) * m_map.tileHeight;
            sx = double(left - top + int64_t(nominalHeight) - m_map.height) * m_map.tileWidth / 2;
            sy = double(left + top) * m_map.tileHeight / 2;
        }
        m_shift = {sx, sy};
        if (m_placing)
            return;
        for (ChunkedLayer& chunked : m_chunked) {
            TileLayer& layer = m_map.layers[chunked.layer];
            layer.width = m_map.width;
            layer.height = m_map.height;
            layer.gids.assign(m_reading.TakeCells(layer.width, layer.height, chunked.where), 0);
            for (const Chunk& c : chunked.chunks) {
                const std::vector<uint32_t> cells = ReadCells(
                    *c.node, chunked.encoding, chunked.compression, size_t(c.width * c.height),
                    chunked.where + ": the chunk at " + Cell(c.x, c.y));
                for (int64_t row = 0; row < c.height; ++row)
                    std::copy_n(cells.begin() + row * c.width, c.width,
                                layer.gids.begin() + (c.y - top + row) * m_map.width +
                                    (c.x - left));
            }
        }
        for (ObjectGroup& group : m_map.objectGroups)
            for (Object& object : group.objects) {
                object.x -= dx;
                object.y -= dy;
            }
        for (ImageLayer& layer : m_map.imageLayers) {
            layer.look.offsetX -= sx;
            layer.look.offsetY -= sy;
        }
        m_map.parallaxOriginX -= sx;
        m_map.parallaxOriginY -= sy;
    }

    Map& m_map;
    Reading& m_reading;
    const Limits& m_limits;
    std::vector<ChunkedLayer> m_chunked;
    bool m_placing = false;                    // only the chunks' places are read
    ObjectPoint m_shift;                       // how far pictures moved with the box's corner
    std::map<std::string, Object> m_templates; // by path, renumbered
    std::vector<std::string> m_chain;          // the templates being read, outermost first
};

} // namespace

Placement ReadPlacement(const Document& doc, Reading& reading) {
    Map map;
    map.path = reading.MapPath();
    return MapReader(map, reading).ReadPlacement(doc);
}

Map ReadMap(const Document& doc, Reading& reading) {
    Map map;
    map.path = reading.MapPath();
    MapReader(map, reading).Read(doc);
    FinishMap(map, reading);
    return map;
}

} // namespace Engine::Tiled::Detail
