// JSON maps (.tmj) and tile sets (.tsj), on nlohmann json.

#include <cmath>
#include <optional>

#include <nlohmann/json.hpp>

#include "tiled/LayerData.h"
#include "tiled/Reading.h"

namespace Engine::Tiled::Detail {

namespace {

using json = nlohmann::json;

struct TooDeep {};

json Document(std::string_view text, const std::string& where, const Limits& limits) {
    // Deep nesting costs memory for every level; no Tiled file comes near
    // this, groups included.
    const int maxDepth = 2 * limits.maxDepth + 16;
    try {
        return json::parse(
            text.begin(), text.end(),
            [maxDepth](int depth, json::parse_event_t, json&) {
                if (depth > maxDepth)
                    throw TooDeep{};
                return true;
            },
            true, false);
    } catch (const TooDeep&) {
        Fail(where + ": JSON nested more than " + std::to_string(maxDepth) + " deep");
    } catch (const json::exception& error) {
        Fail(where + ": not valid JSON: " + error.what());
    }
}

const json* Member(const json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

int Int(const json& object, const char* key, int fallback, const std::string& where) {
    const json* v = Member(object, key);
    if (!v)
        return fallback;
    if (v->is_number_integer()) {
        if (v->is_number_unsigned()
                ? v->get<uint64_t>() <= uint64_t(INT32_MAX)
                : (v->get<int64_t>() >= INT32_MIN && v->get<int64_t>() <= INT32_MAX))
            return static_cast<int>(v->get<int64_t>());
    } else if (v->is_number_float()) {
        // The range first: casting a double that does not fit is undefined.
        const double d = v->get<double>();
        if (d >= INT32_MIN && d <= INT32_MAX && d == std::trunc(d))
            return static_cast<int>(d);
    }
    Fail(where + ": " + key + " " + v->dump() + " is not a whole number");
}

// The member, or null; refused when is() says it is not of its kind, with
// `refusal` at the end of the message.
const json* Typed(const json& object, const char* key, bool (json::*is)() const noexcept,
                  const char* refusal, const std::string& where) {
    const json* v = Member(object, key);
    if (v && !(v->*is)())
        Fail(where + ": " + key + " " + v->dump() + " " + refusal);
    return v;
}

double Double(const json& object, const char* key, double fallback, const std::string& where) {
    const json* v = Typed(object, key, &json::is_number, "is not a number", where);
    return v ? v->get<double>() : fallback;
}
bool Bool(const json& object, const char* key, bool fallback, const std::string& where) {
    const json* v = Typed(object, key, &json::is_boolean, "is neither true nor false", where);
    return v ? v->get<bool>() : fallback;
}
std::string String(const json& object, const char* key, const std::string& where) {
    const json* v = Typed(object, key, &json::is_string, "is not text", where);
    return v ? v->get<std::string>() : std::string();
}

// A tile number, flag bits included, or nothing when v is not a whole
// number from 0 up; the caller checks that it fits 32 bits.
std::optional<uint64_t> TileNumber(const json& v) {
    if (v.is_number_unsigned() || (v.is_number_integer() && v.get<int64_t>() >= 0))
        return v.get<uint64_t>();
    return std::nullopt;
}

const json& Array(const json& object, const char* key, const std::string& where) {
    static const json empty = json::array();
    const json* v = Member(object, key);
    if (!v)
        return empty;
    if (!v->is_array())
        Fail(where + ": " + key + " is not a list");
    return *v;
}

// Its class: "class" from Tiled 1.9 on, "type" before.
std::string ClassOf(const json& object, const std::string& where) {
    return Member(object, "class") ? String(object, "class", where) : String(object, "type", where);
}

// A value as the TMX format writes it.
std::string ValueText(const json& v) {
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_boolean())
        return v.get<bool>() ? "true" : "false";
    if (v.is_null())
        return {};
    return v.dump();
}

std::string TypeOf(const json& v) {
    if (v.is_boolean())
        return "bool";
    if (v.is_number_integer())
        return "int";
    if (v.is_number_float())
        return "float";
    if (v.is_object())
        return "class";
    return "string";
}

Properties Members(const json& object, const std::string& where, int depth, const Limits& limits);

Properties ReadProperties(const json& list, const std::string& where, int depth,
                          const Limits& limits) {
    CheckDepth(depth, limits, where, "class properties");
    // Before Tiled 1.2 properties were one object, name to value.
    if (list.is_object())
        return Members(list, where, depth, limits);
    if (!list.is_array())
        Fail(where + ": properties is not a list");
    Properties properties;
    for (const json& p : list) {
        if (!p.is_object())
            Fail(where + ": a property is not an object");
        Property property;
        property.name = String(p, "name", where);
        const json* value = Member(p, "value");
        property.type = Member(p, "type") ? String(p, "type", where)
                                          : (value ? TypeOf(*value) : std::string("string"));
        property.propertyType = String(p, "propertytype", where);
        if (value && value->is_object())
            property.members = Members(*value, where, depth + 1, limits);
        else if (value)
            property.value = ValueText(*value);
        properties.push_back(std::move(property));
    }
    return properties;
}

// A class value's members, or the old form of properties: name to value.
Properties Members(const json& object, const std::string& where, int depth, const Limits& limits) {
    CheckDepth(depth, limits, where, "class properties");
    Properties properties;
    for (const auto& [name, value] : object.items()) {
        Property property;
        property.name = name;
        property.type = TypeOf(value);
        if (value.is_object())
            property.members = Members(value, where, depth + 1, limits);
        else
            property.value = ValueText(value);
        properties.push_back(std::move(property));
    }
    return properties;
}

Properties PropertiesOf(const json& object, const std::string& where, const Limits& limits) {
    const json* p = Member(object, "properties");
    return p ? ReadProperties(*p, where, 0, limits) : Properties();
}

void NoteLayerLooks(const json& layer, const std::string& where, const std::string& name,
                    Reading& reading) {
    if (Double(layer, "opacity", 1.0, where) != 1.0)
        reading.Note("layer opacity", name);
    const std::string tint = String(layer, "tintcolor", where);
    uint32_t argb = 0;
    if (!tint.empty() && (!ParseColor(tint, argb) || argb != 0xFFFFFFFFu))
        reading.Note("the tint colour", name);
    if (Double(layer, "offsetx", 0.0, where) != 0.0 ||
        Double(layer, "offsety", 0.0, where) != 0.0 || Int(layer, "x", 0, where) != 0 ||
        Int(layer, "y", 0, where) != 0)
        reading.Note("layer offsets", name);
    if (Double(layer, "parallaxx", 1.0, where) != 1.0 ||
        Double(layer, "parallaxy", 1.0, where) != 1.0)
        reading.Note("parallax", name);
}

// An embedded tile set of a map or a whole .tsj file; path is the file it is
// in, for its image's path.
Tileset ReadTilesetObject(const json& object, const std::string& path, const std::string& where,
                          Reading& reading) {
    if (!object.is_object())
        Fail(where + ": not an object");
    Tileset ts;
    ts.source = path;
    ts.name = String(object, "name", where);
    const std::string at = where + " " + Quoted(ts.name);
    ts.tileWidth = Int(object, "tilewidth", 0, at);
    ts.tileHeight = Int(object, "tileheight", 0, at);
    ts.tileCount = Int(object, "tilecount", -1, at);
    ts.columns = Int(object, "columns", 0, at);
    ts.margin = Int(object, "margin", 0, at);
    ts.spacing = Int(object, "spacing", 0, at);
    ts.properties = PropertiesOf(object, at, reading.GetLimits());
    bool hasImage = Member(object, "image") != nullptr;
    if (hasImage) {
        ts.imagePath = String(object, "image", at);
        if (!ts.imagePath.empty())
            ts.imagePath = ResolvePath(path, ts.imagePath);
        ts.imageWidth = Int(object, "imagewidth", 0, at);
        ts.imageHeight = Int(object, "imageheight", 0, at);
        if (!String(object, "transparentcolor", at).empty())
            reading.Note("the transparent colour of an image", "tile set " + Quoted(ts.name));
    }
    if (const json* offset = Member(object, "tileoffset"))
        if (Int(*offset, "x", 0, at) != 0 || Int(*offset, "y", 0, at) != 0)
            reading.Note("tile offsets", "tile set " + Quoted(ts.name));
    if (const json* tiles = Member(object, "tiles"); tiles && !tiles->is_array())
        Fail(at + ": its tiles are in the form before Tiled 1.2, which is not read");
    for (const json& tile : Array(object, "tiles", at)) {
        if (!tile.is_object())
            Fail(at + ": a tile is not an object");
        const int id = Int(tile, "id", 0, at);
        if (Member(tile, "image"))
            hasImage = false;
        if (Member(tile, "animation"))
            reading.Note("tile animation", "tile set " + Quoted(ts.name));
        TileInfo info{ClassOf(tile, at), PropertiesOf(tile, at, reading.GetLimits())};
        if (!info.className.empty() || !info.properties.empty())
            ts.tiles[id] = std::move(info);
    }
    FinishTileset(ts, hasImage, at);
    reading.TakeTiles(uint64_t(ts.tileCount), at);
    return ts;
}

std::vector<uint32_t> ReadLayerData(const json& layer, size_t cells, const std::string& where) {
    if (Member(layer, "chunks"))
        Fail(where + ": its data is kept in chunks, as only infinite maps keep it");
    const json* data = Member(layer, "data");
    if (!data)
        Fail(where + ": it has no data");
    const std::string encoding = String(layer, "encoding", where);
    if (encoding == "base64") {
        if (!data->is_string())
            Fail(where + ": its base64 data is not text");
        const std::string& text = data->get_ref<const std::string&>();
        return DecodeBase64(text, String(layer, "compression", where), cells, where);
    }
    if (!encoding.empty() && encoding != "csv")
        Fail(where + ": unknown encoding " + Quoted(encoding) + " (Tiled writes csv or base64)");
    if (!data->is_array())
        Fail(where + ": its data is not a list of tile numbers");
    if (data->size() != cells)
        Fail(where + ": its data holds " + std::to_string(data->size()) + " cells; the layer has " +
             std::to_string(cells));
    std::vector<uint32_t> gids(cells);
    size_t n = 0;
    for (const json& v : *data) {
        const std::optional<uint64_t> id = TileNumber(v);
        if (!id)
            Fail(where + ": cell " + std::to_string(n + 1) + " is not a tile number");
        if (*id > 0xFFFFFFFFull)
            Fail(where + ": cell " + std::to_string(n + 1) + " is larger than a tile id can be");
        gids[n++] = static_cast<uint32_t>(*id);
    }
    return gids;
}

class JsonMap {
public:
    JsonMap(Map& map, Reading& reading) : m_map(map), m_reading(reading) {}

    void Layers(const json& list, bool visible, int depth) {
        for (const json& layer : list) {
            if (!layer.is_object())
                Fail(m_map.path + ": a layer is not an object");
            const std::string type = String(layer, "type", m_map.path + ": a layer");
            const std::string name = String(layer, "name", m_map.path + ": a layer");
            if (type == "tilelayer") {
                TileLayerOf(layer, name, visible);
            } else if (type == "objectgroup") {
                ObjectsOf(layer, name, visible);
            } else if (type == "imagelayer") {
                const std::string where = m_map.path + ": image layer " + Quoted(name);
                if (visible && Bool(layer, "visible", true, where))
                    m_reading.Note("image layers", "image layer " + Quoted(name));
            } else if (type == "group") {
                const std::string where = m_map.path + ": group " + Quoted(name);
                CheckDepth(depth + 1, m_reading.GetLimits(), where, "groups");
                const bool shown = visible && Bool(layer, "visible", true, where);
                if (shown)
                    NoteLayerLooks(layer, where, "group " + Quoted(name), m_reading);
                Layers(Array(layer, "layers", where), shown, depth + 1);
            } else {
                Fail(m_map.path + ": layer " + Quoted(name) + " is of the unknown type " +
                     Quoted(type));
            }
        }
    }

private:
    void TileLayerOf(const json& node, const std::string& name, bool visible) {
        TileLayer layer;
        layer.name = name;
        const std::string where = m_map.path + ": layer " + Quoted(layer.name);
        layer.id = Int(node, "id", 0, where);
        layer.className = String(node, "class", where);
        layer.visible = visible && Bool(node, "visible", true, where);
        layer.width = Int(node, "width", m_map.width, where);
        layer.height = Int(node, "height", m_map.height, where);
        const size_t cells = m_reading.TakeCells(layer.width, layer.height, where);
        if (layer.visible)
            NoteLayerLooks(node, where, "layer " + Quoted(layer.name), m_reading);
        layer.properties = PropertiesOf(node, where, m_reading.GetLimits());
        layer.gids = ReadLayerData(node, cells, where);
        m_map.layers.push_back(std::move(layer));
    }

    void ObjectsOf(const json& node, const std::string& name, bool visible) {
        ObjectGroup group;
        group.name = name;
        const std::string where = m_map.path + ": object layer " + Quoted(group.name);
        group.id = Int(node, "id", 0, where);
        group.className = String(node, "class", where);
        group.visible = visible && Bool(node, "visible", true, where);
        if (group.visible)
            NoteLayerLooks(node, where, "object layer " + Quoted(group.name), m_reading);
        group.properties = PropertiesOf(node, where, m_reading.GetLimits());
        for (const json& o : Array(node, "objects", where)) {
            m_reading.TakeObjects(1, where);
            if (!o.is_object())
                Fail(where + ": an object is not an object");
            Object object;
            object.id = Int(o, "id", 0, where);
            const std::string at = where + ": object " + std::to_string(object.id);
            if (Member(o, "template"))
                Fail(at + ": made from the template " + Quoted(String(o, "template", at)) +
                     ", which is not read; in Tiled, detach it (or export with "
                     "--detach-templates)");
            object.name = String(o, "name", at);
            object.className = ClassOf(o, at);
            object.x = Double(o, "x", 0.0, at);
            object.y = Double(o, "y", 0.0, at);
            object.width = Double(o, "width", 0.0, at);
            object.height = Double(o, "height", 0.0, at);
            object.rotation = Double(o, "rotation", 0.0, at);
            object.visible = Bool(o, "visible", true, at);
            if (const json* gid = Member(o, "gid")) {
                const std::optional<uint64_t> id = TileNumber(*gid);
                if (!id || *id > 0xFFFFFFFFull)
                    Fail(at + ": gid " + gid->dump() + " is not a tile number");
                object.gid = static_cast<uint32_t>(*id);
            }
            if (Bool(o, "ellipse", false, at))
                object.shape = "ellipse";
            if (Bool(o, "point", false, at))
                object.shape = "point";
            for (const char* shape : {"polygon", "polyline", "text"})
                if (Member(o, shape))
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

Map ReadJson(std::string_view text, Reading& reading) {
    Map map;
    map.path = reading.MapPath();
    const json doc = Document(text, map.path, reading.GetLimits());
    if (!doc.is_object() || String(doc, "type", map.path) != "map")
        Fail(map.path + ": not a Tiled map: its \"type\" is not \"map\"");
    map.width = Int(doc, "width", 0, map.path);
    map.height = Int(doc, "height", 0, map.path);
    map.tileWidth = Int(doc, "tilewidth", 0, map.path);
    map.tileHeight = Int(doc, "tileheight", 0, map.path);
    CheckMapHeader(map, String(doc, "orientation", map.path),
                   Bool(doc, "infinite", false, map.path), reading.GetLimits());
    map.properties = PropertiesOf(doc, map.path, reading.GetLimits());
    for (const json& node : Array(doc, "tilesets", map.path)) {
        const int firstGid = Int(node, "firstgid", 0, map.path + ": a tile set");
        if (firstGid < 1)
            Fail(map.path + ": tile set " + Quoted(String(node, "name", map.path)) +
                 " has no first id (firstgid) of 1 or more");
        if (Member(node, "source"))
            map.tilesets.push_back(
                LoadExternalTileset(String(node, "source", map.path + ": a tile set"), reading));
        else
            map.tilesets.push_back(
                ReadTilesetObject(node, map.path, map.path + ": tile set", reading));
        map.tilesets.back().firstGid = uint32_t(firstGid);
    }
    JsonMap(map, reading).Layers(Array(doc, "layers", map.path), true, 0);
    return map;
}

Tileset ReadTsj(std::string_view text, const std::string& path, const std::string& where,
                Reading& reading) {
    const json doc = Document(text, where, reading.GetLimits());
    if (!doc.is_object() || (Member(doc, "type") && String(doc, "type", where) != "tileset"))
        Fail(where + ": not a Tiled tile set: its \"type\" is not \"tileset\"");
    return ReadTilesetObject(doc, path, where + ": tile set", reading);
}

} // namespace Engine::Tiled::Detail
