#pragma once

#include <memory>
#include <utility>

namespace Engine {

template <typename T> using Ref = std::shared_ptr<T>;
template <typename T> using Uni = std::unique_ptr<T>;

template <typename T, typename... Args> Ref<T> CreateRef(Args&&... args) {
    return std::make_shared<T>(std::forward<Args>(args)...);
}

template <typename T, typename... Args> Uni<T> CreateUni(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...);
}

} // namespace Engine
