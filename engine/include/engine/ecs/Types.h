#pragma once

#include <bitset>
#include <cstdint>

namespace Engine {

using IDType = uint32_t; ///< Identifiers of entities, systems and component types.
using EntityID = IDType; ///< An entity; counted from 1.
using SystemID = IDType; ///< A registered system; counted from 0.

/// One bit per component type id; the width caps the engine at 32 component types.
constexpr std::size_t MAX_COMPONENTS = 32;
using Archetype = std::bitset<MAX_COMPONENTS>; ///< A set of component type ids.

} // namespace Engine
