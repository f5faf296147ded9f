#pragma once
// Stand-in units for the point, line and triangle tests: those lists only keep unit addresses and
// hand them to the numbering callbacks, so distinct addresses are all a unit needs to be here.

#include <array>
#include <cstdint>

namespace gm {
class TgmWorldUnit;
}

namespace gm::test {

template <int N> struct FakeUnits {
    std::array<char, N> Storage{};
    TgmWorldUnit* operator[](int i) { return reinterpret_cast<TgmWorldUnit*>(&Storage[i]); }
    uint32_t NumberOf(const TgmWorldUnit* u) {
        return static_cast<uint32_t>(reinterpret_cast<const char*>(u) - Storage.data());
    }
    TgmWorldUnit* ByNumber(uint32_t n) { return n < Storage.size() ? (*this)[int(n)] : nullptr; }
};

} // namespace gm::test
