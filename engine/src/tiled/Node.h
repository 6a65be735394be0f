#pragma once

// One element of a Tiled file, whichever format it came in. Maps, tile sets,
// layers, objects and templates are read once, through this; TMX (pugixml)
// and JSON (nlohmann) only adapt their own nodes to it. Names are TMX's: a
// JSON node answers for them under its own keys ("tile" children are the
// objects of its "tiles" list, an "image" child its "image", "imagewidth"...
// members). Nothing here reads a file or knows what a map is.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <engine/tiled/TiledMap.h>

namespace Engine::Tiled::Detail {

class Node;
using NodePtr = std::unique_ptr<const Node>;

class Node {
public:
    virtual ~Node() = default;

    // Attributes (TMX) or members (JSON) by name: absent, they give the
    // fallback; present but not of their kind, they are refused, where first.
    virtual bool Has(const char* key) const = 0;
    virtual int Int(const char* key, int fallback, const std::string& where) const = 0;
    virtual double Double(const char* key, double fallback, const std::string& where) const = 0;
    virtual bool Bool(const char* key, bool fallback, const std::string& where) const = 0;
    virtual std::string String(const char* key, const std::string& where) const = 0;
    // A global tile id with its flag bits; 0 when absent.
    virtual uint32_t Gid(const char* key, const std::string& where) const = 0;

    // The one child of that name (an element, a member object), or null.
    virtual NodePtr Child(const char* name, const std::string& where) const = 0;
    // Every child of that kind, in order.
    virtual std::vector<NodePtr> Children(const char* name, const std::string& where) const = 0;
    // Whether it carries the mark `name` ("ellipse", "point"): an element of
    // that name, or a member that is true.
    virtual bool Marked(const char* name, const std::string& where) const = 0;
    // Its layers in drawing order, bottom first, each with its kind:
    // "tilelayer", "objectgroup", "imagelayer" or "group".
    virtual std::vector<std::pair<std::string, NodePtr>> Layers(const std::string& where) const = 0;
    // The corners of its polygon or polyline `name`, each handed to take in
    // order; false when it has none.
    virtual bool Points(const char* name, const std::function<void(double, double)>& take,
                        const std::string& where) const = 0;
    // The words it holds: an element's content, a member "text".
    virtual std::string Body(const std::string& where) const = 0;
    // Its custom properties, each file property's path resolved against
    // `file`, the file that holds the node (Property::path).
    Properties PropertiesOf(const std::string& file, const std::string& where,
                            const Limits& limits) const;
    // The same as the format writes them, paths unresolved.
    virtual Properties OwnProperties(const std::string& where, const Limits& limits) const = 0;

    // A tile layer's data: the node that holds its encoding, compression and
    // chunks (Children("chunk")), or null when it has none.
    virtual NodePtr Data() const = 0;
    // A layer's or chunk's cells as text (CSV or base64), when it holds them so.
    virtual bool CellText(std::string_view& text) const = 0;
    // Its cells one value each (TMX <tile> elements, a JSON list), handed to
    // take in order; nothing for a value that is no whole number from 0 up.
    virtual void Cells(const std::function<void(std::optional<uint64_t>)>& take,
                       const std::string& where) const = 0;
};

// A file parsed, and its root.
class Document {
public:
    virtual ~Document() = default;
    // What it holds: its root element's name, or its "type" (empty for none).
    virtual std::string Kind() const = 0;
    virtual const Node& Root() const = 0;
};

// The text as each format; where names it in messages.
std::unique_ptr<Document> OpenXml(std::string_view text, const std::string& where);
std::unique_ptr<Document> OpenJson(std::string_view text, const std::string& where,
                                   const Limits& limits);

} // namespace Engine::Tiled::Detail
