// The seed replay of a fuzz target, in every build: runs every seed in
// SEEDS and holds it to its expected outcome in EXPECTED, where each seed's
// lines follow its name in brackets ("[nor_one_frame]"); lines starting with
// "#" are comments. A seed without expected lines, or expected lines without
// their seed, fail too; a seed's outcome is printed whenever it fails, to be
// checked by hand before it becomes a new seed's expectation.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz_target.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

std::map<std::string, Lines> ReadExpected(const fs::path& file) {
  std::map<std::string, Lines> expected;
  std::ifstream in(file);
  Lines* seed = nullptr;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']')
      seed = &expected[line.substr(1, line.size() - 2)];
    else if (seed)
      seed->push_back(line);
  }
  return expected;
}

void Print(const char* heading, const Lines& lines) {
  std::printf("%s\n", heading);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SEEDS EXPECTED\n", argv[0]);
    return 2;
  }
  std::map<std::string, Lines> expected = ReadExpected(argv[2]);
  std::map<std::string, fs::path> files;
  for (const auto& entry : fs::directory_iterator(argv[1]))
    if (entry.is_regular_file()) files[entry.path().filename().string()] = entry.path();
  int failures = 0;
  for (const auto& [name, file] : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const Lines outcome = FuzzOutcome(bytes.data(), bytes.size());
    const auto wanted = expected.find(name);
    if (wanted == expected.end() || wanted->second != outcome) {
      ++failures;
      std::printf("%s: not the expected outcome\n", name.c_str());
      if (wanted != expected.end()) Print("expected:", wanted->second);
      Print("got:", outcome);
    }
    if (wanted != expected.end()) expected.erase(wanted);
  }
  for (const auto& [name, lines] : expected) {
    ++failures;
    std::printf("%s: expected, but no such seed\n", name.c_str());
  }
  std::printf("%zu seeds replayed, %d not as expected\n", files.size(), failures);
  return failures == 0 && !files.empty() ? 0 : 1;
}
