#pragma once

namespace Engine {

// Under AddressSanitizer, whose allocator keeps freed memory from reuse for
// a while so stale pointers are caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool ADDRESS_SANITIZED = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool ADDRESS_SANITIZED = true;
#else
constexpr bool ADDRESS_SANITIZED = false;
#endif
#else
constexpr bool ADDRESS_SANITIZED = false;
#endif

// Under any sanitizer that brings its own malloc.
#if defined(__SANITIZE_THREAD__)
constexpr bool OWN_MALLOC = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool OWN_MALLOC = true;
#else
constexpr bool OWN_MALLOC = ADDRESS_SANITIZED;
#endif
#else
constexpr bool OWN_MALLOC = ADDRESS_SANITIZED;
#endif

} // namespace Engine
