// Tiled projects: their custom types (classes with default values, enums)
// and Tiled 1.8's object types, and maps read with them. Tiled saves only
// what a designer changed, so the defaults come from here.

#include <algorithm>
#include <map>
#include <unordered_set>
#include <utility>

#include <pugixml.hpp>

#include <engine/core/Log.h>

#include "tiled/Json.h"
#include "tiled/Reading.h"

namespace Engine::Tiled {

using Detail::Array;
using Detail::Fail;
using Detail::Member;
using Detail::Quoted;
using Detail::String;
using json = nlohmann::json;

namespace {

PropertyType ReadType(const json& entry, const std::string& project, const Limits& limits) {
    if (!entry.is_object())
        Fail(project + ": a property type is not an object");
    PropertyType type;
    type.name = String(entry, "name", project + ": a property type");
    const std::string where = project + ": property type " + Quoted(type.name);
    type.id = Detail::Int(entry, "id", 0, where);
    // Tiled 1.8 wrote enums without a "type".
    std::string kind = String(entry, "type", where);
    if (kind.empty())
        kind = Member(entry, "values") ? "enum" : "class";
    if (kind == "enum") {
        type.isEnum = true;
        for (const json& v : Array(entry, "values", where)) {
            if (!v.is_string())
                Fail(where + ": value " + v.dump() + " is not text");
            type.values.push_back(v.get<std::string>());
        }
        if (const std::string storage = String(entry, "storageType", where); !storage.empty())
            type.storageType = storage;
        if (type.storageType != "string" && type.storageType != "int")
            Fail(where + ": storageType " + Quoted(type.storageType) +
                 " is neither string nor int");
        type.valuesAsFlags = Detail::Bool(entry, "valuesAsFlags", false, where);
    } else if (kind == "class") {
        for (const json& m : Array(entry, "members", where))
            type.members.push_back(Detail::ReadProperty(m, "propertyType", where, 0, limits));
        Detail::ResolveFiles(type.members, project);
        for (const json& use : Array(entry, "useAs", where)) {
            if (!use.is_string())
                Fail(where + ": useAs " + use.dump() + " is not text");
            type.useAs.push_back(use.get<std::string>());
        }
    } else {
        Fail(where + ": of the unknown type " + Quoted(kind));
    }
    return type;
}

// Tiled 1.8's object types file: <objecttypes>, each <objecttype> with
// the default values of its <property> elements.
std::vector<PropertyType> ReadObjectTypes(std::string_view text, const std::string& file,
                                          const std::string& where) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
    if (!parsed)
        Fail(where + ": not valid XML: " + parsed.description());
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "objecttypes")
        Fail(where + ": a <" + Printable(root.name()) + ">, not Tiled's object types");
    std::vector<PropertyType> types;
    for (pugi::xml_node node : root.children("objecttype")) {
        PropertyType type;
        type.name = node.attribute("name").value();
        for (pugi::xml_node p : node.children("property")) {
            Property member;
            member.name = p.attribute("name").value();
            if (const pugi::xml_attribute t = p.attribute("type"))
                member.type = t.value();
            member.propertyType = p.attribute("propertytype").value();
            member.value = p.attribute("default").value();
            type.members.push_back(std::move(member));
        }
        Detail::ResolveFiles(type.members, file);
        types.push_back(std::move(type));
    }
    return types;
}

// The project's classes by name, found as Project::FindClass finds them but
// without a walk through all of them each time, nor through all of one name:
// each key holds the first class in the project's order that it fits.
class ClassIndex {
public:
    explicit ClassIndex(const Project& project) {
        for (const PropertyType& type : project.propertyTypes) {
            if (type.isEnum)
                continue;
            m_any.try_emplace(type.name, &type);
            if (type.useAs.empty())
                m_everyUse.try_emplace(type.name, &type);
            for (const std::string& use : type.useAs)
                m_byUse.try_emplace({type.name, use}, &type);
        }
        for (const PropertyType& type : project.objectTypes)
            m_objectTypes.try_emplace(type.name, &type);
    }
    const PropertyType* Find(std::string_view name, std::string_view use) const {
        if (name.empty())
            return nullptr;
        if (use.empty())
            return Get(m_any, name);
        // Both point into the project's list: the lower one comes first.
        const PropertyType* forAll = Get(m_everyUse, name);
        const PropertyType* forUse = Get(m_byUse, std::pair(name, use));
        const PropertyType* found = forAll ? forAll : forUse;
        if (forAll && forUse)
            found = std::min(forAll, forUse, std::less<>());
        if (!found && use == "object")
            found = Get(m_objectTypes, name);
        return found;
    }

private:
    template <class Index, class Key>
    static const PropertyType* Get(const Index& index, const Key& key) {
        const auto it = index.find(key);
        return it == index.end() ? nullptr : it->second;
    }

    using ByName = std::map<std::string_view, const PropertyType*, std::less<>>;
    ByName m_any, m_everyUse, m_objectTypes;
    std::map<std::pair<std::string_view, std::string_view>, const PropertyType*> m_byUse;
};

// Refuses a class that holds itself, by its members or theirs (filling in
// its defaults would never end), and classes nested past the depth limit.
void CheckNesting(const Project& project, const Limits& limits) {
    const ClassIndex index(project);
    std::map<const PropertyType*, int> state; // 1 being visited, 2 done
    auto visit = [&](auto& self, const PropertyType& type, int depth) -> void {
        int& s = state[&type];
        if (s == 2)
            return;
        const std::string where = project.path + ": class " + Quoted(type.name);
        if (s == 1)
            Fail(where + " contains itself");
        Detail::CheckDepth(depth, limits, where, "classes");
        s = 1;
        for (const Property& m : type.members)
            if (m.type == "class")
                if (const PropertyType* inner = index.Find(m.propertyType, ""))
                    self(self, *inner, depth + 1);
        state[&type] = 2;
    };
    for (const PropertyType& type : project.propertyTypes)
        if (!type.isEnum)
            visit(visit, type, 1);
}

Project ParseWith(std::string_view text, const std::string& path, Detail::Reading& reading) {
    const Limits& limits = reading.GetLimits();
    if (text.size() > limits.maxFileBytes)
        Fail(path + ": " + std::to_string(text.size()) + " bytes, more than the limit of " +
             std::to_string(limits.maxFileBytes));
    Project project;
    project.path = path;
    switch (Detail::Sniff(text)) {
    case Detail::Format::Xml:
        project.objectTypes = ReadObjectTypes(text, path, path);
        return project;
    case Detail::Format::Json:
        break;
    case Detail::Format::Other:
        Fail(path + ": neither a Tiled project (JSON) nor an object types file (XML)");
    }
    // Sniffed as an object.
    const json root = Detail::ParseJson(text, path, limits);
    for (const json& entry : Array(root, "propertyTypes", path))
        project.propertyTypes.push_back(ReadType(entry, path, limits));
    if (const std::string file = String(root, "objectTypesFile", path); !file.empty()) {
        project.objectTypesFile = Detail::ResolvePath(path, file);
        const std::string where = path + ": object types file " + Quoted(project.objectTypesFile);
        project.objectTypes = ReadObjectTypes(reading.ReadFile(project.objectTypesFile, where),
                                              project.objectTypesFile, where);
    }
    CheckNesting(project, limits);
    return project;
}

// Fills in what Tiled leaves out of saved maps: the members of a class.
class Resolver {
public:
    Resolver(const Project& project, const Map& map, const Limits& limits)
        : m_classes(project), m_map(map), m_limits(limits) {}

    // Properties of something of class className, used as `use`; those it
    // inherits (a tile object's tile's) come before its class's.
    void Resolve(Properties& properties, const std::string& className, const char* use,
                 const Properties* inherited = nullptr) {
        for (Property& p : properties)
            FillValue(p, 1);
        if (inherited)
            AddMissing(properties, *inherited, 1);
        if (const PropertyType* type = m_classes.Find(className, use))
            AddMissing(properties, type->members, 1);
    }

    // Class types the project lacks (a name misspelt, the wrong project), by
    // name, with the first property of each: their members stay as saved.
    const std::map<std::string, std::string>& Unknown() const { return m_unknown; }

private:
    // A class value's members it does not set, from its class, and theirs.
    void FillValue(Property& p, int depth) {
        if (p.type != "class")
            return;
        Detail::CheckDepth(depth, m_limits, m_map.path + ": property " + Quoted(p.name),
                           "class values");
        for (Property& member : p.members)
            FillValue(member, depth + 1);
        if (const PropertyType* type = m_classes.Find(p.propertyType, ""))
            AddMissing(p.members, type->members, depth + 1);
        else if (!p.propertyType.empty())
            m_unknown.try_emplace(p.propertyType, p.name);
    }

    void AddMissing(Properties& properties, const Properties& defaults, int depth) {
        // Among many, names are looked up in a set: a walk through the list
        // for each member of a class of many would take their square's time.
        const bool many = properties.size() + defaults.size() > 32;
        std::unordered_set<std::string> named;
        if (many)
            for (const Property& p : properties)
                named.insert(p.name);
        for (const Property& d : defaults) {
            if (many ? !named.insert(d.name).second : FindProperty(properties, d.name) != nullptr)
                continue;
            // Classes holding classes twice over double at every level.
            m_filled += Count(d);
            if (m_filled > m_limits.maxFilledProperties)
                Fail(m_map.path + ": its classes fill in more than the limit of " +
                     std::to_string(m_limits.maxFilledProperties) + " properties");
            Property copy = d;
            FillValue(copy, depth);
            properties.push_back(std::move(copy));
        }
    }

    static uint64_t Count(const Property& p) {
        uint64_t n = 1;
        for (const Property& member : p.members)
            n += Count(member);
        return n;
    }

    const ClassIndex m_classes;
    const Map& m_map;
    const Limits& m_limits;
    uint64_t m_filled = 0;
    std::map<std::string, std::string> m_unknown;
};

void ResolveTypes(Map& map, const Project& project, const Limits& limits) {
    Resolver resolver(project, map, limits);
    resolver.Resolve(map.properties, map.className, "map");
    for (Tileset& tileset : map.tilesets) {
        resolver.Resolve(tileset.properties, tileset.className, "tileset");
        for (auto& [id, tile] : tileset.tiles)
            resolver.Resolve(tile.properties, tile.className, "tile");
    }
    auto layer = [&](LayerBase& base) {
        resolver.Resolve(base.properties, base.className, "layer");
        for (LayerGroup& group : base.groups)
            resolver.Resolve(group.properties, group.className, "layer");
    };
    for (TileLayer& l : map.layers)
        layer(l);
    for (ImageLayer& l : map.imageLayers)
        layer(l);
    // Objects last: they take their tiles' properties as resolved.
    for (ObjectGroup& group : map.objectGroups) {
        layer(group);
        for (Object& object : group.objects) {
            const TileInfo* tile = map.TileOf(object);
            resolver.Resolve(object.properties, map.ClassOf(object), "object",
                             tile ? &tile->properties : nullptr);
        }
    }
    for (const auto& [type, property] : resolver.Unknown())
        Log::Warn("TILED",
                  "%s: the class %s of property %s is not in %s; its members are only those the "
                  "map gives",
                  map.path.c_str(), Quoted(type).c_str(), Quoted(property).c_str(),
                  project.path.c_str());
}

} // namespace

const PropertyType* Project::FindClass(std::string_view name, std::string_view use) const {
    return ClassIndex(*this).Find(name, use);
}

Project ParseProject(std::string_view text, const std::string& path, const Limits& limits) {
    Detail::Reading reading(path, limits);
    return ParseWith(text, path, reading);
}

Project LoadProject(const std::string& path, const Limits& limits) {
    Detail::Reading reading(path, limits);
    const std::string text = reading.ReadFile(path, path);
    return ParseWith(text, path, reading);
}

Map Parse(std::string_view text, const std::string& path, const Project& project,
          const Limits& limits) {
    Map map = Parse(text, path, limits);
    ResolveTypes(map, project, limits);
    return map;
}

Map Load(const std::string& path, const Project& project, const Limits& limits) {
    Map map = Load(path, limits);
    ResolveTypes(map, project, limits);
    return map;
}

} // namespace Engine::Tiled
