// Converts a 4095-block data file (about 64 MiB) to a NAND image and back and
// prints each time as a ratio to copying the same file in the same run. The
// copy is made the way the conversions write: in blocks, to a temporary file
// that is flushed to the disk and renamed over the target. A plain
// std::filesystem::copy_file is printed for reference. Verifying the image is
// timed against converting it to data, and the check of the image (Tolvar's
// check, the verdict after a backup) against reading it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/binary_file.h"
#include "common/image_layout.h"
#include "common/temporary_file.h"
#include "converter/conversions.h"
#include "converter/verify.h"
#include "image_check/image_check.h"
#include "support/null_host.h"

namespace fs = std::filesystem;

namespace {

bool SafeCopy(const std::string& from, const std::string& to) {
  BinaryFile in;
  TemporaryFile out(to);
  if (!in.OpenForReading(from) || !out.Create()) return false;
  std::vector<char> buffer(16 * nand::kBlockSize);
  std::uint64_t left = fs::file_size(from);
  while (left > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    if (!in.Read(buffer.data(), n) || !out.Write(buffer.data(), n)) return false;
    left -= n;
  }
  return out.Commit();
}

// Reads the whole file in chunks of 16 blocks, as the check does.
bool ReadAll(const std::string& path) {
  BinaryFile in;
  std::vector<char> buffer(16 * nand::kBlockSize);
  std::uint64_t left = fs::file_size(path);
  if (!in.OpenForReading(path)) return false;
  while (left > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    if (!in.Read(buffer.data(), n)) return false;
    left -= n;
  }
  return true;
}

// Best of `rounds` runs, in milliseconds.
double Time(int rounds, const std::function<bool()>& run) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) {
      std::fprintf(stderr, "a run failed\n");
      std::exit(1);
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int blocks = 4095;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const fs::path dir = fs::temp_directory_path() / "corvane-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string data = (dir / "x.dat").string(), nand = (dir / "x.nand").string(),
                    back = (dir / "y.dat").string(), copy = (dir / "copy.dat").string();
  {
    std::vector<char> bytes(static_cast<std::size_t>(blocks) * nand::kDataBlockSize);
    std::mt19937_64 random(1);
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
      const std::uint64_t v = random();
      std::copy_n(reinterpret_cast<const char*>(&v), 8, &bytes[i]);
    }
    std::FILE* f = std::fopen(data.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  NullHost host;
  host.answer = [] { return true; };
  const double plainCopy = Time(rounds, [&] {
    fs::remove(copy);
    return fs::copy_file(data, copy);
  });
  const double safeCopy = Time(rounds, [&] { return SafeCopy(data, copy); });
  const double toNand = Time(rounds, [&] { return Data2Nand(host, data, nand, "1") == ConversionResult::Success; });
  const double toData = Time(rounds, [&] { return Nand2Data(host, nand, back) == ConversionResult::Success; });
  VerifySummary summary;
  const double verify = Time(rounds, [&] { return VerifyImage(host, nand, nullptr, summary) == VerifyResult::Clean; });

  const double read = Time(rounds, [&] { return ReadAll(nand); });
  const double check = Time(rounds, [&] { return CheckImageFile(nand).Sound(); });

  std::printf("Corvane, %d blocks (%.1f MiB data), best of %d runs\n", blocks,
              blocks * nand::kDataBlockSize / 1048576.0, rounds);
  std::printf("  copy (blocks, temporary file, flush, rename): %8.1f ms  = 1.00\n", safeCopy);
  std::printf("  copy (std::filesystem::copy_file)           : %8.1f ms  = %.2f\n", plainCopy, plainCopy / safeCopy);
  std::printf("  data -> NAND                                : %8.1f ms  = %.2f x copy (goal <= 3); %.2f x copy_file\n",
              toNand, toNand / safeCopy, toNand / plainCopy);
  std::printf("  NAND -> data                                : %8.1f ms  = %.2f x copy (goal <= 2); %.2f x copy_file\n",
              toData, toData / safeCopy, toData / plainCopy);
  std::printf("  verify                                      : %8.1f ms  = %.2f x NAND -> data (goal <= 2)\n",
              verify, verify / toData);
  std::printf("  read the image (blocks)                     : %8.1f ms\n", read);
  std::printf("  check the image (tolvar check)              : %8.1f ms  = %.2f x reading it\n", check, check / read);
  fs::remove_all(dir);
  return 0;
}
