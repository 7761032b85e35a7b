// handheld-sim: the simulated handheld as a program, on a pseudo-terminal.
//
// Prints the device node of the pseudo-terminal's slave side on its first line
// of output; the computer opens that node (or a symbolic link to it) like a
// serial port. Runs until it is interrupted (Ctrl-C, SIGTERM), then saves the
// emulated flash where asked.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "emulated_flash.h"
#include "pty_line.h"
#include "simulated_handheld.h"

namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnSignal(int) { stopRequested = true; }

const char kUsage[] =
    "usage: handheld-sim [options]\n"
    "Plays the handheld on a pseudo-terminal; prints the device node to open on its first line.\n"
    "  --nor FILE           NOR flash from a NOR image (default: generated, see --nor-pages)\n"
    "  --nand FILE          NAND flash from a NAND image (default: generated, see --nand-blocks)\n"
    "  --nor-pages N        pages of the generated NOR flash (8)\n"
    "  --nand-blocks N      blocks of the generated NAND flash (4)\n"
    "  --nand-start N       logical block number of the first generated NAND block (2)\n"
    "  --model MODEL        NC3000 (921600 bit/s, default) or 2000 (2000系列, 230400 bit/s)\n"
    "  --link PATH          also make PATH a symbolic link to the device (for TOLVAR_COM1)\n"
    "  --save-nor FILE      write the NOR flash to FILE at exit\n"
    "  --save-nand FILE     write the NAND flash to FILE at exit\n"
    "  --manual             send a backup's hello only when Enter is pressed here\n"
    "  --offer KIND         announcements a backup offers: nor, nand or both (default)\n"
    "  --hello-delay MS     silence after the computer opens the line before the hello (300)\n"
    "  --trace              print what happens (\"frame K\" after every frame)\n"
    "Faults (first attempt after each opening of the line; frames count from 0):\n"
    "  --bad-header K       backups: wrong header check in frame K (K = number of frames: the end frame)\n"
    "  --bad-payload K      backups: wrong payload check in frame K\n"
    "  --silent-from K      backups and repairs: nothing more from frame K on\n"
    "  --nak-at K           repairs: answer 15 (check error) before frame K\n"
    "  --junk N             backups: N junk bytes before the hello\n"
    "  --stall-at K         say nothing for --stall-ms (500) after frame K, a slow moment within the time-outs\n";

bool ParseNumber(const char* text, long minimum, long maximum, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 0);
  return errno == 0 && end != text && *end == '\0' && value >= minimum && value <= maximum;
}

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "handheld-sim: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

struct Options {
  std::string norFile, nandFile, saveNor, saveNand, link;
  long norPages = 8, nandBlocks = 4, nandStart = 2;
  bool manual = false, trace = false;
  long stallAt = -1, stallMs = 500;
  SimulatedHandheld::Settings settings;
};

// Makes `link` point at `target`. Only a symbolic link is ever replaced.
bool MakeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    std::fprintf(stderr, "handheld-sim: %s exists and is not a symbolic link; leaving it alone\n", link.c_str());
    return false;
  }
  const std::string fresh = link + ".new-" + std::to_string(getpid());
  if (symlink(target.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "handheld-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
    unlink(fresh.c_str());
    return false;
  }
  return true;
}

void RemoveLink(const std::string& link, const std::string& target) {
  char buffer[4096];
  const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n > 0 && std::string(buffer, static_cast<std::size_t>(n)) == target) unlink(link.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char*& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    auto number = [&](long minimum, long maximum, long& out) {
      const char* text = nullptr;
      return value(text) && ParseNumber(text, minimum, maximum, out);
    };
    const char* text = nullptr;
    long n = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--nor" && value(text)) {
      o.norFile = text;
    } else if (arg == "--nand" && value(text)) {
      o.nandFile = text;
    } else if (arg == "--save-nor" && value(text)) {
      o.saveNor = text;
    } else if (arg == "--save-nand" && value(text)) {
      o.saveNand = text;
    } else if (arg == "--link" && value(text)) {
      o.link = text;
    } else if (arg == "--nor-pages" && number(1, 256, o.norPages)) {
    } else if (arg == "--nand-blocks" && number(1, 4096, o.nandBlocks)) {
    } else if (arg == "--nand-start" && number(1, 0x1000, o.nandStart)) {
    } else if (arg == "--model" && value(text)) {
      const std::string model = text;
      if (model == "NC3000") {
        o.settings.transferSpeed = 921600;
      } else if (model == "2000" || model == "2000系列") {
        o.settings.transferSpeed = 230400;
      } else {
        return UsageError("unknown model " + model);
      }
    } else if (arg == "--offer" && value(text)) {
      const std::string kind = text;
      if (kind != "nor" && kind != "nand" && kind != "both") return UsageError("--offer takes nor, nand or both");
      o.settings.offerNor = kind != "nand";
      o.settings.offerNand = kind != "nor";
    } else if (arg == "--manual") {
      o.manual = true;
    } else if (arg == "--trace") {
      o.trace = true;
    } else if (arg == "--hello-delay" && number(0, 60000, n)) {
      o.settings.helloDelay = std::chrono::milliseconds(n);
    } else if (arg == "--bad-header" && number(0, 1 << 20, n)) {
      o.settings.backupFaults.badHeaderAt = static_cast<int>(n);
    } else if (arg == "--bad-payload" && number(0, 1 << 20, n)) {
      o.settings.backupFaults.badPayloadAt = static_cast<int>(n);
    } else if (arg == "--silent-from" && number(0, 1 << 20, n)) {
      o.settings.backupFaults.silentFrom = static_cast<int>(n);
      o.settings.repairFaults.silentFrom = static_cast<int>(n);
    } else if (arg == "--nak-at" && number(0, 1 << 20, n)) {
      o.settings.repairFaults.checkErrorAt = static_cast<int>(n);
    } else if (arg == "--stall-at" && number(0, 1 << 20, o.stallAt)) {
    } else if (arg == "--stall-ms" && number(0, 60000, o.stallMs)) {
    } else if (arg == "--junk" && number(0, 10000, n)) {
      o.settings.backupFaults.junkBeforeHello = static_cast<int>(n);
    } else {
      return UsageError("cannot use " + arg);
    }
  }
  o.settings.autoBackup = !o.manual;

  EmulatedFlash flash = EmulatedFlash::Generated(static_cast<int>(o.norPages), static_cast<int>(o.nandBlocks),
                                                 static_cast<int>(o.nandStart));
  std::string error;
  if ((!o.norFile.empty() && !flash.LoadNor(o.norFile, error)) ||
      (!o.nandFile.empty() && !flash.LoadNand(o.nandFile, error))) {
    std::fprintf(stderr, "handheld-sim: %s\n", error.c_str());
    return 1;
  }

  SimulatedHandheld handheld(flash, o.settings);
  PtyLine line(handheld);
  if (!line.Ok()) {
    std::fprintf(stderr, "handheld-sim: %s\n", line.Error().c_str());
    return 1;
  }
  handheld.computerSpeed = [&line] { return line.ComputerSpeed(); };
  line.deviceListensAt = [&handheld] { return handheld.ListeningSpeed(); };
  const std::string stallEvent = "frame " + std::to_string(o.stallAt);
  handheld.onEvent = [&](const std::string& text) {
    if (o.trace) {
      std::printf("%s\n", text.c_str());
      std::fflush(stdout);
    }
    // The line is neither read nor answered meanwhile.
    if (o.stallAt >= 0 && text == stallEvent) std::this_thread::sleep_for(std::chrono::milliseconds(o.stallMs));
  };

  // The link stands before the device is named, so that whoever reads the
  // first line may use either.
  if (!o.link.empty()) {
    if (!MakeLink(o.link, line.SlavePath())) return 1;
    std::fprintf(stderr, "handheld-sim: %s -> %s\n", o.link.c_str(), line.SlavePath().c_str());
  }
  std::printf("%s\n", line.SlavePath().c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "handheld-sim: NOR %zu pages, NAND %zu blocks from logical block %d, %ld bit/s%s\n",
               flash.norPages.size(), flash.nandBlocks.size(), flash.FirstNandBlock(), o.settings.transferSpeed,
               o.manual ? "; press Enter to start a backup" : "");

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  if (o.manual) {
    line.onPass = [&] {
      pollfd p{STDIN_FILENO, POLLIN, 0};
      if (poll(&p, 1, 0) <= 0) return;
      char buffer[256];
      if (read(STDIN_FILENO, buffer, sizeof buffer) > 0) handheld.StartBackup(line);
    };
  }
  line.Run(stopRequested);

  handheld.Sync();
  int status = 0;
  if (!o.saveNor.empty() && !flash.SaveNor(o.saveNor, error)) {
    std::fprintf(stderr, "handheld-sim: NOR flash not saved: %s\n", error.c_str());
    status = 1;
  }
  if (!o.saveNand.empty() && !flash.SaveNand(o.saveNand, error)) {
    std::fprintf(stderr, "handheld-sim: NAND flash not saved: %s\n", error.c_str());
    status = 1;
  }
  if (!o.link.empty()) RemoveLink(o.link, line.SlavePath());
  return status;
}
