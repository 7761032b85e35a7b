#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

// Every fuzz target defines FuzzOutcome: it takes one input and tells what
// the code under test made of it, as lines of text: how it ended, what it
// said, the bytes it wrote. Under libFuzzer (fuzz_entry.cpp) it runs on the
// inputs the fuzzer makes and its lines are dropped; the seed replay
// (replay_main.cpp) holds every seed to the lines expected of it.
std::vector<std::string> FuzzOutcome(const std::uint8_t* data, std::size_t size);

// A folder of this run's own for the files a target writes, made on first
// use and removed with everything in it when the run ends.
inline const std::filesystem::path& ScratchFolder() {
  static const TempFolder folder("tolvar-fuzz");
  return folder.path();
}

// Lines of an outcome: `said` one to a line after `label` (line breaks
// inside a message shown as \n, the scratch folder as <folder>); bytes or a
// file by name, size and FNV-1a hash ("no NAME" when there is none); and every
// file the scratch folder holds so described, after which it is emptied.
void AddSaid(std::vector<std::string>& lines, const std::string& label, const std::vector<std::string>& said);
std::string DescribeBytes(const std::string& name, const std::vector<std::uint8_t>& bytes);
std::string DescribeFile(const std::filesystem::path& file);
void AddFilesAndClear(std::vector<std::string>& lines);
