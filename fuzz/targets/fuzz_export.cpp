// libFuzzer entry: The end-file export of a world that opened.

#include "harness/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return gm::fuzz::RunFuzzInput(gm::fuzz::ExportOne, data, size);
}
