#pragma once
// Block compression for the visibility file: a zlib stream of src into dst.

#include <cstdint>

namespace gm {

// dst holds exactly len bytes, as every caller passes a destination of the source's size. Returns
// the number of bytes written, or 0 when compression fails or the result would not fit.
int32_t TXRD_ZLib_Compress(void* dst, const void* src, int32_t len, int32_t flags);

} // namespace gm
