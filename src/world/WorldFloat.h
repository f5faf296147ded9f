#pragma once
// Reading the world file's floats: a NaN or an infinity is damage, never a position. Let through,
// it would be drawn, saved and exported as it is.

#include <cmath>

#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"

namespace gm {

inline float GetFiniteSingle(TBufQX& buf) {
    const float v = buf.GetSingle();
    if (!std::isfinite(v)) RaiseQX("Incorrect format");
    return v;
}

} // namespace gm
