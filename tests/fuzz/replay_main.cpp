// The fuzz targets' driver where libFuzzer is not used: replays every file
// named on the command line, and every file in every folder named there.
// Arguments starting with "-" (libFuzzer's options) are ignored.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_target.h"

namespace fs = std::filesystem;

namespace {

int Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return 1;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0, failures = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind('-', 0) == 0) continue;
    std::vector<fs::path> files;
    if (fs::is_directory(argument)) {
      for (const auto& entry : fs::directory_iterator(argument))
        if (entry.is_regular_file()) files.push_back(entry.path());
    } else {
      files.push_back(argument);
    }
    for (const fs::path& file : files) {
      failures += Replay(file);
      ++inputs;
    }
  }
  std::printf("%d inputs replayed\n", inputs - failures);
  return failures == 0 && inputs > 0 ? 0 : 1;
}
