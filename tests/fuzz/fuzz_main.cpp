// libFuzzer's entry point for the target named by FUZZ_TARGET.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return EngineFuzz::FUZZ_TARGET(data, size);
}
