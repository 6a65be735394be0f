#pragma once

// JSON as the reader parses it, for the files it reads without the node
// interface (projects).

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include <engine/tiled/TiledMap.h>

namespace Engine::Tiled::Detail {

// The text parsed, nesting capped by limits; refused with where.
nlohmann::json ParseJson(std::string_view text, const std::string& where, const Limits& limits);
// The member of that key of an object, null for none (or null); the ones
// below refuse one of another kind, naming key in where.
const nlohmann::json* Member(const nlohmann::json& object, const char* key);
// A whole number in the range of int.
int Int(const nlohmann::json& object, const char* key, int fallback, const std::string& where);
bool Bool(const nlohmann::json& object, const char* key, bool fallback, const std::string& where);
std::string String(const nlohmann::json& object, const char* key, const std::string& where);
// A list; an empty one for none.
const nlohmann::json& Array(const nlohmann::json& object, const char* key,
                            const std::string& where);
// A property, as maps write one ("propertytype" its key) or projects a
// class's member ("propertyType"); depth is that of the class value it is in.
Property ReadProperty(const nlohmann::json& p, const char* propertyTypeKey,
                      const std::string& where, int depth, const Limits& limits);

} // namespace Engine::Tiled::Detail
