// libFuzzer entry: TKeyGM Load of a key text, then saving, evaluating and sampling the key.

#include "harness/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return gm::fuzz::RunFuzzInput(gm::fuzz::KeyLoadOne, data, size);
}
