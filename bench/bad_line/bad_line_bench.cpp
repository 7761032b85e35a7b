// A NAND backup through build/tolvar against build/handheld-sim over its paced
// line at 921600 bit/s, first on a clean line, then on one that flips each bit
// the handheld sends with probability 5e-7 (a frame then fails its check with
// a chance of about 0.2%). The handheld goes on where it broke (--resume) and
// tolvar starts again by itself (--retries 1000), keeping the whole blocks
// that arrived. For each seed of the noise: the restarts, both times and
// their ratio, and whether the image equals the handheld's flash.
//
// Goal: the image is byte-identical and the bad line's time, restarts
// included, is at most 1.3 times the clean line's.
//
// usage: bad_line_bench [SEEDS] [BLOCKS]   (3 seeds from 1, 64 blocks by default)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulated_flash.h"
#include "processes.h"
#include "support/files.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kBitErrorRate = "5e-7";

struct Run {
  bool whole = false;
  int restarts = 0;
  double seconds = 0;
};

std::string Text(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// One backup of a fresh handheld with `blocks` blocks; `noise` adds the bad line.
Run Backup(int blocks, const std::vector<std::string>& noise, const fs::path& dir) {
  std::vector<std::string> simArgs = {"--line-rate", "--nand-blocks", std::to_string(blocks), "--offer", "nand",
                                      "--resume"};
  simArgs.insert(simArgs.end(), noise.begin(), noise.end());
  SimProcess sim(HANDHELD_SIM_PROGRAM, simArgs, (dir / "sim.log").string());
  Run run;
  if (!sim.Ok()) return run;
  const fs::path image = dir / "bench.nand", log = dir / "tolvar.log";
  fs::remove(image);
  fs::remove(log);
  const auto start = std::chrono::steady_clock::now();
  Child tolvar = Spawn({TOLVAR_PROGRAM, "backup-nand", "--port", sim.device, "--batch", "--retries", "1000",
                        image.string()},
                       log.string());
  const int status = Wait(tolvar, 600s);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sim.Stop();
  Bytes expected = EmulatedFlash::Generated(0, blocks, 2).NandImage();
  expected.insert(expected.end(), {2, 0});
  run.whole = status == 0 && ReadFile(image) == expected;
  run.restarts = Count(Text(log), "(y/n) y");
  if (!run.whole) std::printf("  (tolvar ended with %d:\n%s)\n", status, Text(log).c_str());
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const int seeds = argc > 1 ? std::atoi(argv[1]) : 3;
  const int blocks = argc > 2 ? std::atoi(argv[2]) : 64;
  const fs::path dir = fs::temp_directory_path() / ("bad_line_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);

  std::printf("A %d-block NAND backup at 921600 bit/s, --ber %s --resume against a clean line, tolvar --retries 1000\n",
              blocks, kBitErrorRate);
  std::printf("(goals: the image equals the flash; time <= 1.3 x the clean line's)\n");
  std::printf("%4s  %8s  %9s  %9s  %-13s  %s\n", "seed", "restarts", "clean", "bad line", "ratio", "image");
  bool allMet = true;
  for (int seed = 1; seed <= seeds; ++seed) {
    const Run clean = Backup(blocks, {}, dir);
    const Run bad = Backup(blocks, {"--ber", kBitErrorRate, "--seed", std::to_string(seed)}, dir);
    const double ratio = clean.seconds > 0 ? bad.seconds / clean.seconds : 0;
    const bool met = clean.whole && bad.whole && ratio <= 1.3;
    allMet = allMet && met;
    std::printf("%4d  %8d  %7.2f s  %7.2f s  %5.2f %-6s  %s\n", seed, bad.restarts, clean.seconds, bad.seconds, ratio,
                ratio <= 1.3 ? "(met)" : "(MISS)", bad.whole ? "identical" : "DIFFERS");
  }
  std::printf("%s\n", allMet ? "every goal met" : "a goal was missed");
  fs::remove_all(dir);
  return 0;
}
