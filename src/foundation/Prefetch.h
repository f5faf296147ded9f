#pragma once
// A hint that memory will be read soon. Walks over tens of thousands of objects spread over the
// heap ask for the objects a few steps ahead, so that their cache misses overlap instead of
// queueing one behind the other. Never changes a result.

#if defined(_MSC_VER) && !defined(__clang__)
#include <xmmintrin.h>
#endif

namespace gm {

inline void PrefetchQX(const void* p) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#elif defined(_MSC_VER)
    _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
#else
    (void)p;
#endif
}

} // namespace gm
