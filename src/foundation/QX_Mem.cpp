#include "foundation/QX_Mem.h"

#include "foundation/QX_Error.h"

#include <cstdlib>
#include <string>

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

} // namespace gm
