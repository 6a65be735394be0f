#pragma once

#include <engine/ecs/Types.h>

namespace Engine {

// Names the family of component type ids; never defined.
struct ComponentBase;

template <typename Family> class TypeIdGenerator {
public:
    // Each type takes the next id the first time it is asked for, so the order
    // of first use fixes the ids for the rest of the process.
    template <typename U> static IDType GetNewID() {
        static const IDType idNum = s_count++;
        return idNum;
    }

private:
    static inline IDType s_count = 0;
};

template <typename T> struct Component {
    static IDType GetTypeID() { return TypeIdGenerator<ComponentBase>::template GetNewID<T>(); }
};

} // namespace Engine
