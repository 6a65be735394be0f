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
// A property, as maps write one ("propertytype" its key) or projects a
// class's member ("propertyType"); depth is that of the class value it is in.
Property ReadProperty(const nlohmann::json& p, const char* propertyTypeKey,
                      const std::string& where, int depth, const Limits& limits);

} // namespace Engine::Tiled::Detail
