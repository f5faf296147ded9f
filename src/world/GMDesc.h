#pragma once
// Small helpers shared by the readers of unit description blocks.

#include <algorithm>
#include <string>

#include "foundation/QX_BlockPar.h"

namespace gm {

// Only child blocks named with decimal digits and '-' define points, lines, triangles, groups.
inline bool IsNumberedBlockName(const std::u16string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || c == u'-';
    });
}

// The parameter's value, or empty when the block has none.
inline std::u16string OptionalPar(const TBlockParQX& block, const std::u16string& name) {
    return block.Par_CountName(name) > 0 ? block.Par_Get(name) : std::u16string();
}

} // namespace gm
