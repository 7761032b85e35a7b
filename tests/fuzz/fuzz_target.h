#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "support/temp_folder.h"

// Every fuzz target defines this: it takes one input and returns 0. Under
// libFuzzer it is called with inputs the fuzzer makes; the replay driver
// (replay_main.cpp) calls it with the files it is given.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A folder of this run's own for the files a target writes, made on first
// use and removed with everything in it when the run ends.
inline const std::filesystem::path& ScratchFolder() {
  static const TempFolder folder("tolvar-fuzz");
  return folder.path();
}
