// libFuzzer entry: Opening a world file (File > Open), then drawing, saving and reading it back.

#include "harness/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return gm::fuzz::RunFuzzInput(gm::fuzz::WorldOpenOne, data, size);
}
