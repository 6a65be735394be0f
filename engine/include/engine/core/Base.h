#pragma once

#include <memory>
#include <utility>

/// Everything of the engine: the engine object and its loop, the registry of
/// entities, components and systems, drawing, text, physics and audio.
namespace Engine {

/// Shared ownership.
template <typename T> using Ref = std::shared_ptr<T>;
/// Sole ownership.
template <typename T> using Uni = std::unique_ptr<T>;

/// A new T made from args, shared.
template <typename T, typename... Args> Ref<T> CreateRef(Args&&... args) {
    return std::make_shared<T>(std::forward<Args>(args)...);
}

/// A new T made from args, solely owned.
template <typename T, typename... Args> Uni<T> CreateUni(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...);
}

} // namespace Engine
