#include "foundation/QX_Mem.h"

#include "foundation/QX_Error.h"

#include <cstdlib>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace gm {

// A zero-byte request still yields a block of its own, as the process heap does, so callers may
// free whatever they were given. Negative sizes are a caller's arithmetic gone wrong and fail.

void* AllocQX(int32_t size) {
    void* block = size >= 0 ? std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1) : nullptr;
    if (!block) RaiseQX("AllocQX. size=" + std::to_string(size));
    return block;
}

void* AllocClearQX(int32_t size) {
    void* block =
        size >= 0 ? std::calloc(size > 0 ? static_cast<std::size_t>(size) : 1, 1) : nullptr;
    if (!block) RaiseQX("AllocClearQX. size=" + std::to_string(size));
    return block;
}

void* ReAllocRQX(void* block, int32_t size) {
    if (size <= 0) {
        std::free(block);
        return nullptr;
    }
    // On failure realloc leaves the old block alive, so the caller still owns it.
    void* moved = std::realloc(block, static_cast<std::size_t>(size));
    if (!moved) RaiseQX("ReAllocRQX. size=" + std::to_string(size));
    return moved;
}

void FreeQX(void* block) {
    std::free(block);
}

void AdviseLargeQX([[maybe_unused]] void* block, [[maybe_unused]] int64_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr int64_t Large = 2 << 20;
    if (!block || size < Large) return;
    // madvise wants a page-aligned start; the page holding the block's start belongs to it or
    // to the heap it lives in, and either may take the hint.
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto at = reinterpret_cast<uintptr_t>(block);
    const uintptr_t start = at - at % page;
    madvise(reinterpret_cast<void*>(start),
            static_cast<std::size_t>(at - start) + static_cast<std::size_t>(size), MADV_HUGEPAGE);
#endif
}

} // namespace gm
