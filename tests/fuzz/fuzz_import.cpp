#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  enlazor::fuzz::ImportOnce(data, size, ENLAZOR_SOURCE_DIR);
  return 0;
}
