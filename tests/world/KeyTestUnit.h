#pragma once
// A stand-in for a world unit, with the fields keys read.

#include "foundation/QX_Error.h"
#include "world/GMKey.h"

#include <string>

namespace gm::test {

struct KeyTestUnit : IKeyUnit {
    int32_t Offset = 0;
    int32_t Length = 0;
    int32_t Type = 0;
    bool Shown = true;
    int32_t Group = 0;

    int32_t KeyTimeOffset() const override { return Offset; }
    int32_t KeyTimeLength() const override { return Length; }
    int32_t KeyUnitType() const override { return Type; }
    bool KeyVisible() const override { return Shown; }
    int32_t KeyGroupIndex() const override { return Group; }
};

// Runs f and returns the message of the ErrorQX it throws ("" when it throws none).
template <class F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const ErrorQX& e) {
        return e.Message();
    }
    return {};
}

} // namespace gm::test
