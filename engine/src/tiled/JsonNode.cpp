// JSON maps (.tmj), tile sets (.tsj) and templates (.tj) as nodes, on nlohmann json.

#include <cmath>
#include <cstring>
#include <optional>

#include <nlohmann/json.hpp>

#include "tiled/Json.h"
#include "tiled/Node.h"
#include "tiled/Reading.h"

namespace Engine::Tiled::Detail {

using json = nlohmann::json;

namespace {

// Whether arrays and objects nest more than maxDepth deep, text in strings
// skipped. Counted before parsing: the parser's own depth callback makes it
// take time growing with the square of the objects in an array.
bool NestsDeeper(std::string_view text, int maxDepth) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > maxDepth)
                return true;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return false;
}

} // namespace

json ParseJson(std::string_view text, const std::string& where, const Limits& limits) {
    // Deep nesting costs memory for every level; no Tiled file comes near
    // this, groups included.
    const int maxDepth = 2 * limits.maxDepth + 16;
    if (NestsDeeper(text, maxDepth))
        Fail(where + ": JSON nested more than " + std::to_string(maxDepth) + " deep");
    try {
        return json::parse(text.begin(), text.end(), nullptr, true, false);
    } catch (const json::exception& error) {
        Fail(where + ": not valid JSON: " + error.what());
    }
}

std::optional<bool> PeekJsonInfinite(std::string_view text) {
    // Read event by event, stopping at the root's "infinite": the layers
    // after it are never taken apart.
    struct Peek : nlohmann::json_sax<json> {
        int depth = 0;
        bool wanted = false;
        std::optional<bool> result = false;
        bool done = false;

        bool Value(std::optional<bool> v) {
            if (depth == 1 && wanted) {
                result = v;
                done = true;
                return false;
            }
            return true;
        }
        bool null() override { return Value(std::nullopt); }
        bool boolean(bool v) override { return Value(v); }
        // Anything but a bool is for the reader to judge.
        bool number_integer(number_integer_t) override { return Value(std::nullopt); }
        bool number_unsigned(number_unsigned_t) override { return Value(std::nullopt); }
        bool number_float(number_float_t, const string_t&) override { return Value(std::nullopt); }
        bool string(string_t&) override { return Value(std::nullopt); }
        bool binary(binary_t&) override { return Value(std::nullopt); }
        bool start_object(std::size_t) override {
            if (!Value(std::nullopt))
                return false;
            ++depth;
            return true;
        }
        bool key(string_t& k) override {
            wanted = depth == 1 && k == "infinite";
            return true;
        }
        bool end_object() override {
            --depth;
            return true;
        }
        bool start_array(std::size_t) override {
            if (!Value(std::nullopt))
                return false;
            ++depth;
            return true;
        }
        bool end_array() override {
            --depth;
            return true;
        }
        bool parse_error(std::size_t, const std::string&,
                         const nlohmann::detail::exception&) override {
            result = std::nullopt;
            done = true;
            return false;
        }
    } peek;
    json::sax_parse(text.begin(), text.end(), &peek, nlohmann::detail::input_format_t::json, false);
    return peek.done || peek.depth == 0 ? peek.result : std::nullopt;
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

namespace {

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

} // namespace

bool Bool(const json& object, const char* key, bool fallback, const std::string& where) {
    const json* v = Typed(object, key, &json::is_boolean, "is neither true nor false", where);
    return v ? v->get<bool>() : fallback;
}
std::string String(const json& object, const char* key, const std::string& where) {
    const json* v = Typed(object, key, &json::is_string, "is not text", where);
    return v ? v->get<std::string>() : std::string();
}

namespace {

// A tile number, flag bits included, or nothing when v is not a whole
// number from 0 up; the caller checks that it fits 32 bits.
std::optional<uint64_t> TileNumber(const json& v) {
    if (v.is_number_unsigned() || (v.is_number_integer() && v.get<int64_t>() >= 0))
        return v.get<uint64_t>();
    return std::nullopt;
}

} // namespace

const json& Array(const json& object, const char* key, const std::string& where) {
    static const json empty = json::array();
    const json* v = Member(object, key);
    if (!v)
        return empty;
    if (!v->is_array())
        Fail(where + ": " + key + " is not a list");
    return *v;
}

namespace {

const json& ObjectOf(const json& v, const char* what, const std::string& where) {
    if (!v.is_object())
        Fail(where + ": " + (std::strchr("aeiou", what[0]) ? "an " : "a ") + what +
             " is not an object");
    return v;
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
    for (const json& p : list)
        properties.push_back(ReadProperty(p, "propertytype", where, depth, limits));
    return properties;
}

} // namespace

Property ReadProperty(const json& p, const char* propertyTypeKey, const std::string& where,
                      int depth, const Limits& limits) {
    if (!p.is_object())
        Fail(where + ": a property is not an object");
    Property property;
    property.name = String(p, "name", where);
    const json* value = Member(p, "value");
    property.type = Member(p, "type") ? String(p, "type", where)
                                      : (value ? TypeOf(*value) : std::string("string"));
    property.propertyType = String(p, propertyTypeKey, where);
    if (value && value->is_object())
        property.members = Members(*value, where, depth + 1, limits);
    else if (value)
        property.value = ValueText(*value);
    return property;
}

namespace {

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

// TMX's names for JSON's own: the members of a tile set, tile or image
// layer that say what TMX's <image> element says.
const std::pair<const char*, const char*> kImageKeys[] = {{"source", "image"},
                                                          {"width", "imagewidth"},
                                                          {"height", "imageheight"},
                                                          {"trans", "transparentcolor"}};
// The lists that hold the children of a kind.
const std::pair<const char*, const char*> kLists[] = {{"tileset", "tilesets"},
                                                      {"tile", "tiles"},
                                                      {"object", "objects"},
                                                      {"chunk", "chunks"},
                                                      {"frame", "animation"}};

template <size_t N>
const char* Renamed(const std::pair<const char*, const char*> (&names)[N], const char* name) {
    for (const auto& [from, to] : names)
        if (std::strcmp(from, name) == 0)
            return to;
    return name;
}

class JsonNode final : public Node {
public:
    // image: a view of the object as TMX's <image> element.
    explicit JsonNode(const json& v, bool image = false) : m_v(v), m_image(image) {}
    // A tile that Tiled before 1.2 listed under its id, as a key.
    JsonNode(const json& v, int id) : m_v(v), m_image(false), m_id(id) {}

    bool Has(const char* key) const override {
        return (m_id && IsId(key)) || Member(m_v, Key(key)) != nullptr;
    }
    int Int(const char* key, int fallback, const std::string& where) const override {
        return m_id && IsId(key) ? *m_id : Detail::Int(m_v, Key(key), fallback, where);
    }
    double Double(const char* key, double fallback, const std::string& where) const override {
        return Detail::Double(m_v, Key(key), fallback, where);
    }
    bool Bool(const char* key, bool fallback, const std::string& where) const override {
        return Detail::Bool(m_v, Key(key), fallback, where);
    }
    std::string String(const char* key, const std::string& where) const override {
        return Detail::String(m_v, Key(key), where);
    }
    uint32_t Gid(const char* key, const std::string& where) const override {
        const json* gid = Member(m_v, key);
        if (!gid)
            return 0;
        const std::optional<uint64_t> id = TileNumber(*gid);
        if (!id || *id > 0xFFFFFFFFull)
            Fail(where + ": " + key + " " + gid->dump() + " is not a tile number");
        return static_cast<uint32_t>(*id);
    }

    NodePtr Child(const char* name, const std::string& where) const override {
        if (std::strcmp(name, "image") == 0)
            return Member(m_v, "image") ? std::make_unique<JsonNode>(m_v, true) : nullptr;
        const json* v = Member(m_v, name);
        return v ? std::make_unique<JsonNode>(ObjectOf(*v, name, where)) : nullptr;
    }
    std::vector<NodePtr> Children(const char* name, const std::string& where) const override {
        std::vector<NodePtr> children;
        const char* list = Renamed(kLists, name);
        // Tiled before 1.2 kept a tile set's tiles in an object by id.
        if (const json* byId = Member(m_v, list);
            byId && byId->is_object() && std::strcmp(name, "tile") == 0) {
            for (const auto& [key, v] : byId->items()) {
                int id = 0;
                if (!ParseInt(key, id) || id < 0)
                    Fail(where + ": tile id " + Quoted(key) + " is not a number");
                children.push_back(std::make_unique<JsonNode>(ObjectOf(v, name, where), id));
            }
            return children;
        }
        for (const json& v : Array(m_v, list, where))
            children.push_back(std::make_unique<JsonNode>(ObjectOf(v, name, where)));
        return children;
    }
    bool Marked(const char* name, const std::string& where) const override {
        return Detail::Bool(m_v, name, false, where);
    }
    std::vector<std::pair<std::string, NodePtr>> Layers(const std::string& where) const override {
        std::vector<std::pair<std::string, NodePtr>> layers;
        for (const json& v : Array(m_v, "layers", where)) {
            ObjectOf(v, "layer", where);
            layers.emplace_back(Detail::String(v, "type", where + ": a layer"),
                                std::make_unique<JsonNode>(v));
        }
        return layers;
    }
    bool Points(const char* name, const std::function<void(double, double)>& take,
                const std::string& where) const override {
        if (!Member(m_v, name))
            return false;
        for (const json& p : Array(m_v, name, where)) {
            ObjectOf(p, "point", where);
            take(Detail::Double(p, "x", 0.0, where), Detail::Double(p, "y", 0.0, where));
        }
        return true;
    }
    std::string Body(const std::string& where) const override {
        return Detail::String(m_v, "text", where);
    }
    Properties OwnProperties(const std::string& where, const Limits& limits) const override {
        const json* p = Member(m_v, "properties");
        return p ? ReadProperties(*p, where, 0, limits) : Properties();
    }

    // A layer keeps its encoding, data and chunks among its own members.
    NodePtr Data() const override {
        return Member(m_v, "data") || Member(m_v, "chunks") ? std::make_unique<JsonNode>(m_v)
                                                            : nullptr;
    }
    bool CellText(std::string_view& text) const override {
        // A layer that keeps no data at all keeps no text of cells either.
        const json* data = Member(m_v, "data");
        if (data && !data->is_string())
            return false;
        text = data ? std::string_view(data->get_ref<const std::string&>()) : std::string_view();
        return true;
    }
    void Cells(const std::function<void(std::optional<uint64_t>)>& take,
               const std::string& where) const override {
        const json* data = Member(m_v, "data");
        if (!data)
            Fail(where + ": it has no data");
        if (!data->is_array())
            Fail(where + ": its data is not a list of tile numbers");
        for (const json& v : *data)
            take(TileNumber(v));
    }

private:
    const char* Key(const char* key) const { return m_image ? Renamed(kImageKeys, key) : key; }

    static bool IsId(const char* key) { return std::strcmp(key, "id") == 0; }

    const json& m_v;
    bool m_image;
    std::optional<int> m_id;
};

class JsonDocument final : public Document {
public:
    JsonDocument(std::string_view text, const std::string& where, const Limits& limits)
        : m_doc(ParseJson(text, where, limits)), m_root(m_doc), m_where(where) {
        if (!m_doc.is_object())
            Fail(where + ": not a Tiled file: its JSON is not an object");
    }
    std::string Kind() const override { return Detail::String(m_doc, "type", m_where); }
    const Node& Root() const override { return m_root; }

private:
    json m_doc;
    JsonNode m_root;
    std::string m_where;
};

} // namespace

std::unique_ptr<Document> OpenJson(std::string_view text, const std::string& where,
                                   const Limits& limits) {
    return std::make_unique<JsonDocument>(text, where, limits);
}

} // namespace Engine::Tiled::Detail
