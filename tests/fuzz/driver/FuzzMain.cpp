// libFuzzer entry of one target; ZENTROVA_FUZZ_ENTRY names its body in FuzzTargets.h.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ZENTROVA_FUZZ_ENTRY(data, size);
}
