// libFuzzer's entry: each input the fuzzer makes goes to the target; what
// the target made of it is not looked at, only how it got there.
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzOutcome(data, size);
  return 0;
}
