#pragma once
// Raw heap blocks for the buffer and the export tables; every failure names the requested size.

#include <cstdint>

namespace gm {

void* AllocQX(int32_t size);                 // "AllocQX. size=" n
void* AllocClearQX(int32_t size);            // "AllocClearQX. size=" n; zero-filled
void* ReAllocRQX(void* block, int32_t size); // size <= 0 frees and returns null
void FreeQX(void* block);

// Asks the system to back a block of megabytes with large pages. A buffer holding a whole world
// file is filled page by page, and every small page costs the process a fault; large pages cut
// that to a few hundred. Only a hint: where the system has no large pages nothing changes.
void AdviseLargeQX(void* block, int64_t size) noexcept;

} // namespace gm
