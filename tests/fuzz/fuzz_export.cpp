#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  enlazor::fuzz::ExportOnce(data, size);
  return 0;
}
