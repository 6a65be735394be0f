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
// A value as the TMX format writes it.
std::string ValueText(const nlohmann::json& v);
// The property type a value of no stated type has.
std::string TypeOf(const nlohmann::json& v);

} // namespace Engine::Tiled::Detail
