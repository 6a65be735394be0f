#pragma once

#include <engine/ecs/Types.h>

namespace Engine {

/// Names the family of component type ids; never defined.
struct ComponentBase;

/// Hands out ids 0, 1, 2, ... to types, one sequence per Family.
template <typename Family> class TypeIdGenerator {
public:
    /// Each type takes the next id the first time it is asked for, so the order
    /// of first use fixes the ids for the rest of the process.
    template <typename U> static IDType GetNewID() {
        static const IDType idNum = s_count++;
        return idNum;
    }

private:
    static inline IDType s_count = 0;
};

/// The component type id of T: its bit in an Archetype.
template <typename T> struct Component {
    /// Fixed by the first call for T in the process.
    static IDType GetTypeID() { return TypeIdGenerator<ComponentBase>::template GetNewID<T>(); }
};

} // namespace Engine
