// libFuzzer entry: Parameter-block text files, 8-bit and UTF-16, with includes.

#include "harness/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return gm::fuzz::RunFuzzInput(gm::fuzz::BlockParOne, data, size);
}
