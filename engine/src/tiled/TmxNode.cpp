// TMX maps, TSX tile sets and TX templates as nodes, on pugixml.

#include <cstring>

#include <pugixml.hpp>

#include "tiled/Node.h"
#include "tiled/Reading.h"

namespace Engine::Tiled::Detail {

namespace {

using pugi::xml_node;

bool ParseBool(std::string_view text, bool& value) {
    value = text == "1" || text == "true";
    return value || text == "0" || text == "false";
}

// The number up to sep or the end, stepping past both.
bool TakeNumber(std::string_view& text, char sep, double& value) {
    const size_t end = std::min(text.find(sep), text.size());
    if (!ParseDouble(text.substr(0, end), value))
        return false;
    text.remove_prefix(std::min(end + 1, text.size()));
    return true;
}

Properties ReadProperties(xml_node node, const std::string& where, int depth,
                          const Limits& limits) {
    CheckDepth(depth, limits, where, "class properties");
    Properties properties;
    for (xml_node p : node.children("property")) {
        Property property;
        property.name = p.attribute("name").value();
        if (const pugi::xml_attribute type = p.attribute("type"))
            property.type = type.value();
        property.propertyType = p.attribute("propertytype").value();
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

class TmxNode final : public Node {
public:
    explicit TmxNode(xml_node node) : m_node(node) {}

    bool Has(const char* key) const override { return m_node.attribute(key); }
    int Int(const char* key, int fallback, const std::string& where) const override {
        return Attribute(key, fallback, where, ParseInt, "is not a whole number");
    }
    double Double(const char* key, double fallback, const std::string& where) const override {
        return Attribute(key, fallback, where, ParseDouble, "is not a number");
    }
    bool Bool(const char* key, bool fallback, const std::string& where) const override {
        return Attribute(key, fallback, where, ParseBool, "is neither 0 nor 1");
    }
    std::string String(const char* key, const std::string&) const override {
        return m_node.attribute(key).value();
    }
    uint32_t Gid(const char* key, const std::string& where) const override {
        return Attribute(key, uint32_t(0), where, ParseGid, "is not a tile number");
    }

    NodePtr Child(const char* name, const std::string&) const override {
        const xml_node child = m_node.child(name);
        return child ? std::make_unique<TmxNode>(child) : nullptr;
    }
    std::vector<NodePtr> Children(const char* name, const std::string&) const override {
        // A tile's frames are kept inside its <animation>.
        const xml_node parent =
            std::strcmp(name, "frame") == 0 ? m_node.child("animation") : m_node;
        std::vector<NodePtr> children;
        for (xml_node child : parent.children(name))
            children.push_back(std::make_unique<TmxNode>(child));
        return children;
    }
    bool Marked(const char* name, const std::string&) const override { return m_node.child(name); }
    std::vector<std::pair<std::string, NodePtr>> Layers(const std::string&) const override {
        std::vector<std::pair<std::string, NodePtr>> layers;
        for (xml_node child : m_node.children()) {
            const std::string_view name = child.name();
            if (name == "layer")
                layers.emplace_back("tilelayer", std::make_unique<TmxNode>(child));
            else if (name == "objectgroup" || name == "imagelayer" || name == "group")
                layers.emplace_back(std::string(name), std::make_unique<TmxNode>(child));
        }
        return layers;
    }
    bool Points(const char* name, const std::function<void(double, double)>& take,
                const std::string& where) const override {
        const xml_node shape = m_node.child(name);
        if (!shape)
            return false;
        const pugi::xml_attribute points = shape.attribute("points");
        // "x,y x,y ...", as Tiled writes them.
        std::string_view text = points.value();
        while (!text.empty()) {
            while (!text.empty() && IsSpace(text.front()))
                text.remove_prefix(1);
            if (text.empty())
                break;
            size_t end = 0;
            while (end < text.size() && !IsSpace(text[end]))
                ++end;
            std::string_view pair = text.substr(0, end);
            text.remove_prefix(end);
            double x = 0, y = 0;
            if (!TakeNumber(pair, ',', x) || !TakeNumber(pair, ',', y) || !pair.empty())
                Fail(where + ": " + name + " points " + Quoted(points.value()) +
                     " are not pairs of numbers x,y");
            take(x, y);
        }
        return true;
    }
    std::string Body(const std::string&) const override { return m_node.child_value(); }
    Properties OwnProperties(const std::string& where, const Limits& limits) const override {
        const xml_node p = m_node.child("properties");
        return p ? ReadProperties(p, where, 0, limits) : Properties();
    }

    NodePtr Data() const override { return Child("data", {}); }
    bool CellText(std::string_view& text) const override {
        if (m_node.child("tile"))
            return false;
        text = m_node.child_value();
        return true;
    }
    void Cells(const std::function<void(std::optional<uint64_t>)>& take,
               const std::string&) const override {
        // The oldest form, one element a cell: an empty cell may leave out its gid.
        for (xml_node tile : m_node.children("tile")) {
            const pugi::xml_attribute gid = tile.attribute("gid");
            uint32_t id = 0;
            if (gid && !ParseGid(gid.value(), id))
                take(std::nullopt);
            else
                take(id);
        }
    }

private:
    // The attribute as parse reads it, fallback when there is none; `refusal`
    // ends the message of one that parse refuses.
    template <typename T>
    T Attribute(const char* name, T fallback, const std::string& where,
                bool (*parse)(std::string_view, T&), const char* refusal) const {
        const pugi::xml_attribute a = m_node.attribute(name);
        T value = fallback;
        if (a && !parse(a.value(), value))
            Fail(where + ": " + name + " " + Quoted(a.value()) + " " + refusal);
        return value;
    }

    xml_node m_node;
};

class TmxDocument final : public Document {
public:
    TmxDocument(std::string_view text, const std::string& where) {
        // pugixml knows no external entities or DTDs: nothing in the text can
        // make it read another file or expand without end.
        const pugi::xml_parse_result result =
            m_doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
        if (!result)
            Fail(where + ": not valid XML: " + result.description() + " at byte " +
                 std::to_string(result.offset));
        m_root = std::make_unique<TmxNode>(m_doc.document_element());
    }
    std::string Kind() const override { return m_doc.document_element().name(); }
    const Node& Root() const override { return *m_root; }

private:
    pugi::xml_document m_doc;
    std::unique_ptr<TmxNode> m_root;
};

} // namespace

std::unique_ptr<Document> OpenXml(std::string_view text, const std::string& where) {
    return std::make_unique<TmxDocument>(text, where);
}

} // namespace Engine::Tiled::Detail
