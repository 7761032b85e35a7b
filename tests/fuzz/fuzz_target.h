#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

// Every fuzz target defines this: it takes one input and returns 0. Under
// libFuzzer it is called with inputs the fuzzer makes; the replay driver
// (replay_main.cpp) calls it with the files it is given.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A folder of this run's own for the files a target writes, made on first
// use and removed with everything in it when the run ends.
inline const std::filesystem::path& ScratchFolder() {
  struct Folder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tolvar-fuzz-" + std::to_string(std::random_device{}()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder;
  return folder.path;
}
