#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  enlazor::fuzz::TableOnce(data, size);
  return 0;
}
