#pragma once

#include <bitset>
#include <cstdint>

namespace Engine {

using IDType = uint32_t;
using EntityID = IDType;
using SystemID = IDType;

// One bit per component type id; the width caps the engine at 32 component types.
constexpr std::size_t MAX_COMPONENTS = 32;
using Archetype = std::bitset<MAX_COMPONENTS>;

} // namespace Engine
