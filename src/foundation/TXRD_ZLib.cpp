#include "foundation/TXRD_ZLib.h"

#include <zlib.h>

namespace gm {

int32_t TXRD_ZLib_Compress(void* dst, const void* src, int32_t len, int32_t flags) {
    (void)flags; // every caller passes 0; no variants are defined
    if (!dst || !src || len <= 0) return 0;
    uLongf written = static_cast<uLongf>(len);
    // compress2 reports Z_BUF_ERROR when the stream does not fit into dst.
    const int rc = compress2(static_cast<Bytef*>(dst), &written, static_cast<const Bytef*>(src),
                             static_cast<uLong>(len), Z_BEST_COMPRESSION);
    if (rc != Z_OK || written == 0 || written > static_cast<uLongf>(len)) return 0;
    return static_cast<int32_t>(written);
}

} // namespace gm
