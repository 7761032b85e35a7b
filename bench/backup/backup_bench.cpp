// How fast the NAND backup engine receives, and what a wait costs.
//
//  1. In-process: the simulated handheld sends a multi-block NAND image
//     through SimPort with no line-rate limit; the real engine receives it.
//  2. Over a pseudo-terminal: the same through Qt SerialPort (POSIX only).
//  3. From the handheld-sim program over its pseudo-terminal, through Qt
//     SerialPort: the cost of the real serial layer and a second process.
//  4. The real serial layer (Qt SerialPort, ReceiveByte, the real tick clock)
//     waiting for a silent handheld on a pseudo-terminal: CPU share of a core.
//
// Rates are printed as multiples of the NC3000 line rate, 921600 bit/s
// (92160 bytes/s of 8N1 frames).
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "backup_sender.h"
#include "common/image_layout.h"
#include "link/qt_serial_io.h"
#include "sim_port.h"
#include "support/null_host.h"

#ifdef __unix__
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pty_line.h"
#endif

namespace {

constexpr double kLineBytesPerSecond = 92160.0;

std::vector<std::uint8_t> NandImage(int blocks) {
  std::vector<std::uint8_t> image(static_cast<std::size_t>(blocks) * nand::kBlockSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  return image;
}

bool FileHolds(const std::string& path, const std::vector<std::uint8_t>& image) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return in && static_cast<std::size_t>(in.tellg()) == image.size() + 2;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs SaveNand over `io`; returns the payload rate in bytes per second, or 0 on failure.
double TimedBackup(SerialIo& io, const std::vector<std::uint8_t>& image, const std::string& path) {
  NullHost host;
  host.print = true;
  SystemTickClock clock;
  Module1 m(io, clock, host);
  m.ComPort = 1;
  m.ImagePath = path;
  const auto start = std::chrono::steady_clock::now();
  const BackupEnding ending = SaveNand(m);
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  const bool ok = ending == BackupEnding::Success && FileHolds(path, image);
  std::filesystem::remove(path);
  return ok ? static_cast<double>(image.size()) / seconds : 0.0;
}

// Best of a few in-process backups, with or without the support trace.
double InProcessRate(const std::vector<std::uint8_t>& image, const std::string& path, const char* trace) {
  if (trace) qputenv("TOLVAR_TRACE", QByteArray(trace));
  double best = 0;
  for (int run = 0; run < 3; ++run) {
    BackupSender sender(BackupSender::Flash::Nand, image);
    SimPort port(&sender);
    best = std::max(best, TimedBackup(port, image, path));
    if (trace) std::filesystem::remove(trace);
  }
  qunsetenv("TOLVAR_TRACE");
  return best;
}

void Report(const char* what, int blocks, double rate) {
  if (rate <= 0) {
    std::printf("%-44s FAILED\n", what);
    return;
  }
  std::printf("%-44s %4d blocks  %10.0f bytes/s  = %6.1fx line rate %s\n", what, blocks, rate,
              rate / kLineBytesPerSecond, rate / kLineBytesPerSecond >= 20 ? "(goal >= 20x: met)" : "(goal >= 20x: MISSED)");
}

#ifdef __unix__
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Starts handheld-sim with `blocks` NAND blocks; returns its pid and fills
// `device` with the node it prints first.
pid_t StartHandheldSim(int blocks, std::string& device) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    const std::string count = std::to_string(blocks);
    execl(HANDHELD_SIM_PROGRAM, HANDHELD_SIM_PROGRAM, "--nand-blocks", count.c_str(), "--offer", "nand",
          "--hello-delay", "0", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') device += c;
  close(out[0]);
  return pid;
}

class SilentHandheld final : public HandheldDevice {
 public:
  void OnByte(HandheldLine&, std::uint8_t, long) override {}
};
#endif

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int blocks = argc > 1 ? std::atoi(argv[1]) : 256;
  const std::string path = (std::filesystem::temp_directory_path() / "tolvar_bench.nand").string();
  const std::vector<std::uint8_t> image = NandImage(blocks);

  const double plain = InProcessRate(image, path, nullptr);
  Report("NAND backup, in-process simulated handheld", blocks, plain);
  const std::string trace = path + ".trace";
  const double traced = InProcessRate(image, path, trace.c_str());
  Report("  the same with TOLVAR_TRACE set", blocks, traced);
  if (plain > 0 && traced > 0)
    std::printf("  tracing costs %.1f%% of the rate (goal <= 10%%: %s)\n", 100 * (1 - traced / plain),
                traced >= 0.9 * plain ? "met" : "MISSED");
#ifdef __unix__
  {
    BackupSender sender(BackupSender::Flash::Nand, image);
    PtyLine line(sender);
    QtSerialIo io;
    io.SetDevice(1, line.SlavePath());
    line.Start();
    Report("NAND backup, Qt SerialPort over a pty", blocks, TimedBackup(io, image, path));
    line.Stop();
  }
#ifdef HANDHELD_SIM_PROGRAM
  {
    std::string device;
    const pid_t sim = StartHandheldSim(blocks, device);
    // The program's flash is its own default NAND: compare by size only.
    const std::vector<std::uint8_t> same(static_cast<std::size_t>(blocks) * nand::kBlockSize);
    QtSerialIo io;
    io.SetDevice(1, device);
    Report("NAND backup, handheld-sim program over a pty", blocks, TimedBackup(io, same, path));
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
  }
#endif
  {
    SilentHandheld silent;
    PtyLine line(silent);
    line.idlePoll = std::chrono::milliseconds(20);  // keep the handheld's own share out of the figure
    QtSerialIo io;
    io.SetDevice(1, line.SlavePath());
    line.Start();
    NullHost host;
  host.print = true;
    SystemTickClock clock;
    Module1 m(io, clock, host);
    m.ComPort = 1;
    if (!m.OpenPort()) return 1;
    const double process0 = CpuSeconds(RUSAGE_SELF), thread0 = CpuSeconds(RUSAGE_THREAD);
    const auto start = std::chrono::steady_clock::now();
    m.ReceiveByte();
    const double wall = Seconds(std::chrono::steady_clock::now() - start);
    const double thread = CpuSeconds(RUSAGE_THREAD) - thread0, process = CpuSeconds(RUSAGE_SELF) - process0;
    m.ClosePort();
    line.Stop();
    std::printf("Waiting for a silent handheld (200 ticks, %s): %.2f s wall\n",
                m.TimeoutFlag ? "timed out" : "NO TIME-OUT", wall);
    std::printf("  CPU share of the waiting thread: %5.1f%% of a core (goal < 10%%: %s)\n", 100 * thread / wall,
                thread / wall < 0.10 ? "met" : "MISSED");
    std::printf("  CPU share of the whole process:  %5.1f%% of a core (pty handheld included)\n", 100 * process / wall);
  }
#endif
  return 0;
}
