// libFuzzer entry: A unit description placed through Unit > Load (UnitCreateAt).

#include "harness/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return gm::fuzz::RunFuzzInput(gm::fuzz::UnitDescOne, data, size);
}
