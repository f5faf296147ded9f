#pragma once
// Raw heap blocks for the buffer and the export tables; every failure names the requested size.

#include <cstdint>

namespace gm {

void* AllocQX(int32_t size);                 // "AllocQX. size=" n
void* AllocClearQX(int32_t size);            // "AllocClearQX. size=" n; zero-filled
void* ReAllocRQX(void* block, int32_t size); // size <= 0 frees and returns null
void FreeQX(void* block);

} // namespace gm
