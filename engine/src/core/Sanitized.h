#pragma once

// GCC names its sanitizers with macros, Clang with __has_feature.
#if defined(__has_feature)
#define ENGINE_HAS_FEATURE(x) __has_feature(x)
#else
#define ENGINE_HAS_FEATURE(x) 0
#endif

namespace Engine {

// Under AddressSanitizer, whose allocator keeps freed memory from reuse for
// a while so stale pointers are caught.
constexpr bool ADDRESS_SANITIZED =
#if defined(__SANITIZE_ADDRESS__) || ENGINE_HAS_FEATURE(address_sanitizer)
    true;
#else
    false;
#endif

// Under any sanitizer that brings its own malloc.
constexpr bool OWN_MALLOC =
#if defined(__SANITIZE_THREAD__) || ENGINE_HAS_FEATURE(thread_sanitizer) ||                        \
    ENGINE_HAS_FEATURE(memory_sanitizer)
    true;
#else
    ADDRESS_SANITIZED;
#endif

} // namespace Engine
