// A 64-block NAND backup and a 64-block NAND repair through the real serial
// layer against the handheld-sim program over its paced line at 921600 bit/s,
// with the adapter's latency at 0, 1 and 16 ms; then a 16-block backup at
// 230400 bit/s. For each: the time against the line's ideal, and the CPU time
// of the engine's thread (the handheld is another process) as a share of one
// core. Last, what a full 4096-block backup takes, from the
// measured shares of ideal.
//
// Ideal: every byte on the line at 10 bits (the hello and the connection at
// 115200 bit/s), plus one latency for every answer that waits in the adapter.
//
// usage: paced_line_bench [BLOCKS]   (64 by default)
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "emulated_flash.h"
#include "link/qt_serial_io.h"
#include "processes.h"
#include "repair/nand_repair.h"
#include "support/null_host.h"

namespace fs = std::filesystem;

namespace {

constexpr double kFrameBytes = 2 + wire::kNandFrameSize;  // announcement, go-ahead, frame

struct Figures {
  bool ok = false;
  double seconds = 0, ideal = 0, cpu = 0;
  double share() const { return ideal / seconds; }
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);  // the engine's thread, not the one reading the handheld's notes
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ByteSeconds(long rate) { return 10.0 / static_cast<double>(rate); }

// The line's ideal: `frames` data frames, `fixedSlow` bytes at 115200 bit/s,
// `fixedFast` more at the transfer rate, and `answers` latencies.
double Ideal(int frames, long rate, int latencyMs, int fixedSlow, int fixedFast, int answers) {
  return (frames * kFrameBytes + fixedFast) * ByteSeconds(rate) + fixedSlow * ByteSeconds(115200) +
         answers * latencyMs / 1000.0;
}

// Runs `transfer` on a fresh handheld-sim; times it and counts this process's CPU.
template <typename Transfer>
Figures Measure(const std::vector<std::string>& simArgs, const fs::path& dir, Transfer transfer) {
  SimProcess sim(HANDHELD_SIM_PROGRAM, simArgs, (dir / "sim.log").string());
  Figures f;
  if (!sim.Ok()) return f;
  QtSerialIo io;
  SystemTickClock clock;
  NullHost host;
  host.onEvents = [] { QCoreApplication::processEvents(); };  // as the command line does
  Module1 m(io, clock, host);
  m.UseDevice(sim.device);
  const double cpu0 = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  f.ok = transfer(m, host);
  f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.cpu = CpuSeconds() - cpu0;
  sim.Stop();
  return f;
}

std::vector<std::string> SimArgs(int blocks, long rate, int latencyMs, bool backup) {
  std::vector<std::string> args = {"--line-rate", "--latency", std::to_string(latencyMs), "--nand-blocks",
                                   std::to_string(blocks), "--offer", "nand"};
  // A backup starts at once; a repair must not be taken for one.
  args.insert(args.end(), {"--hello-delay", backup ? "0" : "60000"});
  if (rate == 230400) args.insert(args.end(), {"--model", "2000"});
  return args;
}

Figures Backup(int blocks, long rate, int latencyMs, const fs::path& dir) {
  const int frames = blocks * nand::kPagesPerBlock;
  Figures f = Measure(SimArgs(blocks, rate, latencyMs, true), dir, [&](Module1& m, NullHost& host) {
    host.model = rate == 230400 ? "2000系列" : "NC3000";
    m.ImagePath = (dir / "bench.nand").string();
    const bool ok = SaveNand(m) == BackupEnding::Success &&
                    fs::file_size(m.ImagePath) == static_cast<std::uintmax_t>(frames) * nand::kPageSize + nand::kTrailerSize;
    fs::remove(m.ImagePath);
    return ok;
  });
  // Hello and its answer, and the first announcement, at 115200; the end frame
  // with its announcement and go-ahead. Answers: the hello's, each frame's, the end frame's.
  f.ideal = Ideal(frames, rate, latencyMs, 3, 9 - 1, frames + 2);
  return f;
}

Figures Repair(int blocks, long rate, int latencyMs, const fs::path& dir) {
  const int frames = blocks * nand::kPagesPerBlock;
  const fs::path image = dir / "bench-repair.nand";
  std::vector<std::uint8_t> bytes = EmulatedFlash::Generated(0, blocks, 2).NandImage();
  for (std::size_t i = 0; i < bytes.size(); i += 512) bytes[i] ^= 0xFF;
  bytes.insert(bytes.end(), {2, 0});
  {
    std::FILE* out = std::fopen(image.c_str(), "wb");
    if (!out) return {};
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  Figures f = Measure(SimArgs(blocks, rate, latencyMs, false), dir, [&](Module1& m, NullHost& host) {
    host.model = rate == 230400 ? "2000系列" : "NC3000";
    m.ImagePath = image.string();
    return BackNand(m, 1, blocks, 2, NandRepairOptions{}) == RepairEnding::Success;
  });
  fs::remove(image);
  // Connection request, its answer and the announcement at 115200; the first
  // frame goes without announcement and go-ahead, after one byte at the new
  // speed. Answers: the connection's, the byte after the switch, each later frame's.
  f.ideal = Ideal(frames, rate, latencyMs, 3, 1 - 2, frames + 1);
  return f;
}

void Print(const char* what, long rate, int latencyMs, int blocks, const Figures& f) {
  if (!f.ok) {
    std::printf("%-8s %7ld  %4d ms  %3d blocks  FAILED\n", what, rate, latencyMs, blocks);
    return;
  }
  std::printf("%-8s %7ld  %4d ms  %3d blocks  %7.2f s  %7.2f s  %6.1f%% %-6s  %5.2f%% %s\n", what, rate, latencyMs,
              blocks, f.seconds, f.ideal, 100 * f.share(), f.share() >= 0.95 ? "(met)" : "(MISS)",
              100 * f.cpu / f.seconds, f.cpu / f.seconds <= 0.05 ? "(met)" : "(MISS)");
}

std::string Duration(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%d min %02d s", static_cast<int>(seconds) / 60, static_cast<int>(seconds) % 60);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int blocks = argc > 1 ? std::atoi(argv[1]) : 64;
  const fs::path dir = fs::temp_directory_path() / ("paced_line_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);

  std::printf("NAND transfers over handheld-sim's paced line (goals: >= 95%% of ideal, <= 5%% of a core)\n");
  std::printf("%-8s %7s  %7s  %10s  %9s  %9s  %-14s  %s\n", "", "bit/s", "latency", "", "time", "ideal",
              "of ideal", "CPU");
  Figures full[2][2];  // [230400, 921600][1 ms, 16 ms]
  for (int latency : {0, 1, 16}) {
    const Figures backup = Backup(blocks, 921600, latency, dir);
    Print("backup", 921600, latency, blocks, backup);
    Print("repair", 921600, latency, blocks, Repair(blocks, 921600, latency, dir));
    if (latency > 0) full[1][latency == 16] = backup;
  }
  const int slowBlocks = std::max(1, blocks / 4);
  for (int latency : {1, 16}) {
    full[0][latency == 16] = Backup(slowBlocks, 230400, latency, dir);
    Print("backup", 230400, latency, slowBlocks, full[0][latency == 16]);
  }

  std::printf("\nA full 4096-block NAND backup, from the measured shares of ideal:\n");
  std::printf("| bit/s  | latency 1 ms | latency 16 ms |\n|--------|--------------|---------------|\n");
  for (int r = 1; r >= 0; --r) {
    const long rate = r ? 921600 : 230400;
    std::printf("| %-6ld |", rate);
    for (int l = 0; l < 2; ++l) {
      const Figures& f = full[r][l];
      const double ideal = Ideal(4096 * nand::kPagesPerBlock, rate, l ? 16 : 1, 3, 8, 4096 * nand::kPagesPerBlock + 2);
      std::printf(" %-12s |", f.ok ? Duration(ideal / f.share()).c_str() : "FAILED");
    }
    std::printf("\n");
  }
  fs::remove_all(dir);
  return 0;
}
