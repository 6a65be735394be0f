// TMX maps and TSX tile sets, on pugixml.

#include <cstring>

#include <pugixml.hpp>

#include "tiled/LayerData.h"
#include "tiled/Reading.h"

namespace Engine::Tiled::Detail {

namespace {

using pugi::xml_node;

pugi::xml_document Document(std::string_view text, const std::string& where) {
    pugi::xml_document doc;
    // pugixml knows no external entities or DTDs: nothing in the text can
    // make it read another file or expand without end.
    const pugi::xml_parse_result result =
        doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result)
        Fail(where + ": not valid XML: " + result.description() + " at byte " +
             std::to_string(result.offset));
    return doc;
}

bool Is(xml_node node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

std::string Text(xml_node node, const char* name) {
    return node.attribute(name).value();
}

bool ParseBool(std::string_view text, bool& value) {
    value = text == "1" || text == "true";
    return value || text == "0" || text == "false";
}

// The attribute as parse reads it, fallback when there is none; `refusal`
// ends the message of one that parse refuses.
template <typename T>
T Attribute(xml_node node, const char* name, T fallback, const std::string& where,
            bool (*parse)(std::string_view, T&), const char* refusal) {
    const pugi::xml_attribute a = node.attribute(name);
    T value = fallback;
    if (a && !parse(a.value(), value))
        Fail(where + ": " + name + " " + Quoted(a.value()) + " " + refusal);
    return value;
}

int Int(xml_node node, const char* name, int fallback, const std::string& where) {
    return Attribute(node, name, fallback, where, ParseInt, "is not a whole number");
}
double Double(xml_node node, const char* name, double fallback, const std::string& where) {
    return Attribute(node, name, fallback, where, ParseDouble, "is not a number");
}
bool Bool(xml_node node, const char* name, bool fallback, const std::string& where) {
    return Attribute(node, name, fallback, where, ParseBool, "is neither 0 nor 1");
}

// Its class: "class" from Tiled 1.9 on, "type" before.
std::string ClassOf(xml_node node) {
    const pugi::xml_attribute c = node.attribute("class");
    return c ? c.value() : node.attribute("type").value();
}

Properties ReadProperties(xml_node node, const std::string& where, int depth,
                          const Limits& limits) {
    CheckDepth(depth, limits, where, "class properties");
    Properties properties;
    for (xml_node p : node.children("property")) {
        Property property;
        property.name = Text(p, "name");
        if (const pugi::xml_attribute type = p.attribute("type"))
            property.type = type.value();
        property.propertyType = Text(p, "propertytype");
        // Text of several lines is kept in the element rather than the attribute.
        const pugi::xml_attribute value = p.attribute("value");
        property.value = value ? value.value() : p.child_value();
        if (property.type == "class")
            if (xml_node members = p.child("properties"))
                property.members = ReadProperties(members, where, depth + 1, limits);
        properties.push_back(std::move(property));
    }
    return properties;
}

Properties PropertiesOf(xml_node node, const std::string& where, const Limits& limits) {
    const xml_node p = node.child("properties");
    return p ? ReadProperties(p, where, 0, limits) : Properties();
}

// Opacity, tint, offsets and parallax of a visible layer or group: where
// names it in messages, name in the notes.
void NoteLayerLooks(xml_node node, const std::string& where, const std::string& name,
                    Reading& reading) {
    if (Double(node, "opacity", 1.0, where) != 1.0)
        reading.Note("layer opacity", name);
    const pugi::xml_attribute tint = node.attribute("tintcolor");
    uint32_t argb = 0;
    if (tint && (!ParseColor(tint.value(), argb) || argb != 0xFFFFFFFFu))
        reading.Note("the tint colour", name);
    if (Double(node, "offsetx", 0.0, where) != 0.0 || Double(node, "offsety", 0.0, where) != 0.0 ||
        Int(node, "x", 0, where) != 0 || Int(node, "y", 0, where) != 0)
        reading.Note("layer offsets", name);
    if (Double(node, "parallaxx", 1.0, where) != 1.0 ||
        Double(node, "parallaxy", 1.0, where) != 1.0)
        reading.Note("parallax", name);
}

// The tile set element of a map or the root of a TSX file; path is the file
// it is in, for its image's path.
Tileset ReadTilesetNode(xml_node node, const std::string& path, const std::string& where,
                        Reading& reading) {
    Tileset ts;
    ts.source = path;
    ts.name = Text(node, "name");
    const std::string at = where + " " + Quoted(ts.name);
    ts.tileWidth = Int(node, "tilewidth", 0, at);
    ts.tileHeight = Int(node, "tileheight", 0, at);
    ts.tileCount = Int(node, "tilecount", -1, at);
    ts.columns = Int(node, "columns", 0, at);
    ts.margin = Int(node, "margin", 0, at);
    ts.spacing = Int(node, "spacing", 0, at);
    ts.properties = PropertiesOf(node, at, reading.GetLimits());
    bool hasImage = false;
    if (const xml_node image = node.child("image")) {
        if (!image.attribute("source"))
            Fail(at + ": image data kept inside the file is not read");
        hasImage = true;
        ts.imagePath = Text(image, "source");
        if (!ts.imagePath.empty())
            ts.imagePath = ResolvePath(path, ts.imagePath);
        ts.imageWidth = Int(image, "width", 0, at);
        ts.imageHeight = Int(image, "height", 0, at);
        if (image.attribute("trans"))
            reading.Note("the transparent colour of an image", "tile set " + Quoted(ts.name));
    }
    if (const xml_node offset = node.child("tileoffset"))
        if (Int(offset, "x", 0, at) != 0 || Int(offset, "y", 0, at) != 0)
            reading.Note("tile offsets", "tile set " + Quoted(ts.name));
    for (xml_node tile : node.children("tile")) {
        const int id = Int(tile, "id", 0, at);
        if (tile.child("image"))
            hasImage = false;
        if (tile.child("animation"))
            reading.Note("tile animation", "tile set " + Quoted(ts.name));
        TileInfo info{ClassOf(tile), PropertiesOf(tile, at, reading.GetLimits())};
        if (!info.className.empty() || !info.properties.empty())
            ts.tiles[id] = std::move(info);
    }
    FinishTileset(ts, hasImage, at);
    reading.TakeTiles(uint64_t(ts.tileCount), at);
    return ts;
}

std::vector<uint32_t> ReadLayerData(xml_node data, size_t cells, const std::string& where) {
    if (data.child("chunk"))
        Fail(where + ": its data is kept in chunks, as only infinite maps keep it");
    const std::string encoding = Text(data, "encoding");
    if (encoding == "csv")
        return DecodeCsv(data.child_value(), cells, where);
    if (encoding == "base64")
        return DecodeBase64(data.child_value(), Text(data, "compression"), cells, where);
    if (!encoding.empty())
        Fail(where + ": unknown encoding " + Quoted(encoding) + " (Tiled writes csv or base64)");
    // The oldest form, one element a cell.
    std::vector<uint32_t> gids(cells);
    size_t n = 0;
    for (xml_node tile : data.children("tile")) {
        if (n == cells)
            Fail(where + ": its data holds more than the layer's " + std::to_string(cells) +
                 " cells");
        const pugi::xml_attribute gid = tile.attribute("gid");
        if (gid && !ParseGid(gid.value(), gids[n]))
            Fail(where + ": cell " + std::to_string(n + 1) + " is not a tile number");
        ++n;
    }
    if (n != cells)
        Fail(where + ": its data holds " + std::to_string(n) + " cells; the layer has " +
             std::to_string(cells));
    return gids;
}

class TmxMap {
public:
    TmxMap(Map& map, Reading& reading) : m_map(map), m_reading(reading) {}

    void Layers(xml_node parent, bool visible, int depth) {
        const std::string& path = m_map.path;
        for (xml_node node : parent.children()) {
            if (Is(node, "layer"))
                TileLayerOf(node, visible);
            else if (Is(node, "objectgroup"))
                ObjectsOf(node, visible);
            else if (Is(node, "imagelayer")) {
                const std::string where = path + ": image layer " + Quoted(Text(node, "name"));
                if (visible && Bool(node, "visible", true, where))
                    m_reading.Note("image layers", "image layer " + Quoted(Text(node, "name")));
            } else if (Is(node, "group")) {
                const std::string name = Text(node, "name");
                const std::string where = path + ": group " + Quoted(name);
                CheckDepth(depth + 1, m_reading.GetLimits(), where, "groups");
                const bool shown = visible && Bool(node, "visible", true, where);
                if (shown)
                    NoteLayerLooks(node, where, "group " + Quoted(name), m_reading);
                Layers(node, shown, depth + 1);
            }
        }
    }

private:
    void TileLayerOf(xml_node node, bool visible) {
        TileLayer layer;
        layer.name = Text(node, "name");
        const std::string where = m_map.path + ": layer " + Quoted(layer.name);
        layer.id = Int(node, "id", 0, where);
        layer.className = Text(node, "class");
        layer.visible = visible && Bool(node, "visible", true, where);
        layer.width = Int(node, "width", m_map.width, where);
        layer.height = Int(node, "height", m_map.height, where);
        const size_t cells = m_reading.TakeCells(layer.width, layer.height, where);
        if (layer.visible)
            NoteLayerLooks(node, where, "layer " + Quoted(layer.name), m_reading);
        layer.properties = PropertiesOf(node, where, m_reading.GetLimits());
        const xml_node data = node.child("data");
        if (!data)
            Fail(where + ": it has no data");
        layer.gids = ReadLayerData(data, cells, where);
        m_map.layers.push_back(std::move(layer));
    }

    void ObjectsOf(xml_node node, bool visible) {
        ObjectGroup group;
        group.name = Text(node, "name");
        const std::string where = m_map.path + ": object layer " + Quoted(group.name);
        group.id = Int(node, "id", 0, where);
        group.className = Text(node, "class");
        group.visible = visible && Bool(node, "visible", true, where);
        if (group.visible)
            NoteLayerLooks(node, where, "object layer " + Quoted(group.name), m_reading);
        group.properties = PropertiesOf(node, where, m_reading.GetLimits());
        for (xml_node o : node.children("object")) {
            m_reading.TakeObjects(1, where);
            Object object;
            object.id = Int(o, "id", 0, where);
            const std::string at = where + ": object " + std::to_string(object.id);
            if (o.attribute("template"))
                Fail(at + ": made from the template " + Quoted(Text(o, "template")) +
                     ", which is not read; in Tiled, detach it (or export with "
                     "--detach-templates)");
            object.name = Text(o, "name");
            object.className = ClassOf(o);
            object.x = Double(o, "x", 0.0, at);
            object.y = Double(o, "y", 0.0, at);
            object.width = Double(o, "width", 0.0, at);
            object.height = Double(o, "height", 0.0, at);
            object.rotation = Double(o, "rotation", 0.0, at);
            object.visible = Bool(o, "visible", true, at);
            if (const pugi::xml_attribute gid = o.attribute("gid"))
                if (!ParseGid(gid.value(), object.gid))
                    Fail(at + ": gid " + Quoted(gid.value()) + " is not a tile number");
            for (const char* shape : {"ellipse", "point", "polygon", "polyline", "text"})
                if (o.child(shape))
                    object.shape = shape;
            object.properties = PropertiesOf(o, at, m_reading.GetLimits());
            group.objects.push_back(std::move(object));
        }
        m_map.objectGroups.push_back(std::move(group));
    }

    Map& m_map;
    Reading& m_reading;
};

} // namespace

Map ReadTmx(std::string_view text, Reading& reading) {
    Map map;
    map.path = reading.MapPath();
    const pugi::xml_document doc = Document(text, map.path);
    const xml_node root = doc.document_element();
    if (!Is(root, "map"))
        Fail(map.path + ": the XML's root element is <" + root.name() + ">, not a Tiled <map>");
    map.width = Int(root, "width", 0, map.path);
    map.height = Int(root, "height", 0, map.path);
    map.tileWidth = Int(root, "tilewidth", 0, map.path);
    map.tileHeight = Int(root, "tileheight", 0, map.path);
    CheckMapHeader(map, Text(root, "orientation"), Bool(root, "infinite", false, map.path),
                   reading.GetLimits());
    map.properties = PropertiesOf(root, map.path, reading.GetLimits());
    for (xml_node node : root.children("tileset")) {
        const int firstGid = Int(node, "firstgid", 0, map.path + ": a tile set");
        if (firstGid < 1)
            Fail(map.path + ": tile set " + Quoted(Text(node, "name")) +
                 " has no first id (firstgid) of 1 or more");
        if (const pugi::xml_attribute source = node.attribute("source"))
            map.tilesets.push_back(LoadExternalTileset(source.value(), reading));
        else
            map.tilesets.push_back(
                ReadTilesetNode(node, map.path, map.path + ": tile set", reading));
        map.tilesets.back().firstGid = uint32_t(firstGid);
    }
    TmxMap(map, reading).Layers(root, true, 0);
    return map;
}

Tileset ReadTsx(std::string_view text, const std::string& path, const std::string& where,
                Reading& reading) {
    const pugi::xml_document doc = Document(text, where);
    const xml_node root = doc.document_element();
    if (!Is(root, "tileset"))
        Fail(where + ": the XML's root element is <" + root.name() + ">, not a Tiled <tileset>");
    return ReadTilesetNode(root, path, where + ": tile set", reading);
}

} // namespace Engine::Tiled::Detail
