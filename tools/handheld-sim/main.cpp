// handheld-sim: the simulated handheld as a program, on a pseudo-terminal.
//
// Prints the device node of the pseudo-terminal's slave side on its first line
// of output; the computer opens that node (or a symbolic link to it) like a
// serial port. Runs until it is interrupted (Ctrl-C, Ctrl-\, SIGTERM, SIGHUP),
// then saves the emulated flash where asked.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#ifdef TOLVAR_WITH_QT
#include <QCoreApplication>

#include "common/help_language.h"
#endif
#include "common/command_line_parser.h"
#include "common/target_check.h"
#include "emulated_flash.h"
#include "line_model.h"
#include "pty_line.h"
#include "simulated_handheld.h"

namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnSignal(int) { stopRequested = true; }

struct Options {
  std::string norFile, nandFile, saveNor, saveNand, link;
  long norPages = 8, nandBlocks = 4, nandStart = 2;
  bool manual = false, trace = false;
  long stallAt = -1, stallMs = 500;
  SimulatedHandheld::Settings settings;
  LineModel::Settings line;
  bool Modelled() const { return line.paced || line.latency.count() > 0 || line.bitErrorRate > 0; }
};

// Every option. A new option goes here; its value lands in `o`.
void DefineOptions(CLI::App& app, Options& o) {
  app.add_option("--nor", o.norFile, "NOR flash from a NOR image (default: generated, see --nor-pages)")
      ->type_name("FILE");
  app.add_option("--nand", o.nandFile, "NAND flash from a NAND image (default: generated, see --nand-blocks)")
      ->type_name("FILE");
  app.add_option("--nor-pages", o.norPages, "pages of the generated NOR flash (8)")->check(CLI::Range(1, 256));
  app.add_option("--nand-blocks", o.nandBlocks, "blocks of the generated NAND flash (4)")->check(CLI::Range(1L, static_cast<long>(nand::kLastBlockNumber)));
  app.add_option("--nand-start", o.nandStart, "logical block number of the first generated NAND block (2)")
      ->check(CLI::Range(1L, static_cast<long>(nand::kLastBlockNumber)));
  app.add_option("--model", o.settings.transferSpeed, ModelChoices())
      ->transform([](const std::string& text) { return std::to_string(ModelOption(text).speed); })
      ->type_name("MODEL");
  app.add_option("--link", o.link, "also make PATH a symbolic link to the device (for TOLVAR_COM1)")->type_name("PATH");
  app.add_option("--save-nor", o.saveNor, "write the NOR flash to FILE at exit")->type_name("FILE");
  app.add_option("--save-nand", o.saveNand, "write the NAND flash to FILE at exit")->type_name("FILE");
  app.add_flag("--manual", o.manual, "send a backup's hello only when Enter is pressed here");
  app.add_option_function<std::string>(
         "--offer",
         [&o](const std::string& kind) {
           o.settings.offerNor = kind != "nand";
           o.settings.offerNand = kind != "nor";
         },
         "the flash a backup sends: nor, nand, or both (default), which offers one after the other and may "
         "spoil a backup whose computer is slow to take its offer")
      ->check(CLI::IsMember({"nor", "nand", "both"}))
      ->type_name("KIND");
  app.add_option_function<long>(
         "--hello-delay", [&o](long ms) { o.settings.helloDelay = std::chrono::milliseconds(ms); },
         "silence in ms after the computer opens the line before the hello (300)")
      ->check(CLI::Range(0, 60000));
  app.add_flag("--trace", o.trace, "print what happens (\"frame K\" after every frame)");

  const char* line = "The line (a cable and a USB serial adapter)";
  app.add_flag("--line-rate", o.line.paced, "pace every byte in both directions at the line's speed, 10 bits a byte")
      ->group(line);
  app.add_option_function<long>(
         "--latency", [&o](long ms) { o.line.latency = std::chrono::milliseconds(ms); },
         "what the handheld sends reaches the computer in bursts, as through an adapter with a latency timer of MS "
         "ms: a burst leaves when 62 bytes wait or MS ms after its first byte")
      ->check(CLI::Range(0, 1000))
      ->type_name("MS")
      ->group(line);
  app.add_option("--ber", o.line.bitErrorRate,
                 "flip each bit the handheld sends with probability P, independently (a bad cable; 0: none)")
      ->check(CLI::Range(0.0, 1.0))
      ->type_name("P")
      ->group(line);
  app.add_option("--seed", o.line.seed, "seed of --ber's draws, so that a run can be repeated (1)")
      ->type_name("S")
      ->group(line);
  app.add_flag("--resume", o.settings.resume,
               "a NAND backup started again (after a failure, also in a later opening of the line) begins at the "
               "first block the computer had not confirmed in full, as a user picks it on the handheld; one that "
               "sent its end frame starts the next from the beginning");

  const char* faults = "Faults (first attempt after each opening of the line; frames count from 0)";
  const CLI::Range frame(0, 1 << 20);
  BackupSender::Faults& backup = o.settings.backupFaults;
  RepairReceiver::Faults& repair = o.settings.repairFaults;
  app.add_option("--bad-header", backup.badHeaderAt,
                 "backups: wrong header check in frame K (K = number of frames: the end frame)")
      ->check(frame)
      ->group(faults);
  app.add_option("--bad-payload", backup.badPayloadAt, "backups: wrong payload check in frame K")
      ->check(frame)
      ->group(faults);
  app.add_option_function<int>(
         "--silent-from", [&](int k) { backup.silentFrom = repair.silentFrom = k; },
         "backups and repairs: nothing more from frame K on")
      ->check(frame)
      ->group(faults);
  app.add_option("--nak-at", repair.checkErrorAt, "repairs: answer 15 (check error) before frame K")
      ->check(frame)
      ->group(faults);
  app.add_option_function<int>(
         "--flip", [&](int k) { backup.flipAt = repair.flipAt = k; },
         "backups and repairs: one bit of frame K is corrupted on the line")
      ->check(frame)
      ->group(faults);
  app.add_option("--junk", backup.junkBeforeHello, "backups: N junk bytes before the hello")
      ->check(CLI::Range(0, 10000))
      ->group(faults);
  app.add_option("--stall-at", o.stallAt,
                 "say nothing for --stall-ms after frame K, a slow moment within the time-outs")
      ->check(frame)
      ->group(faults);
  app.add_option("--stall-ms", o.stallMs, "how long --stall-at stays silent, in ms (500)")
      ->check(CLI::Range(0, 60000))
      ->group(faults);
}

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
#ifdef TOLVAR_WITH_QT
  {
    const QCoreApplication qt(argc, argv);  // only to find the program's folder
    UseHelpInSystemLanguage();
  }
#endif
  Options o;
  CLI::App app("Plays the handheld on a pseudo-terminal; prints the device node to open on its first line.",
               "handheld-sim");
  DefineOptions(app, o);
  if (const auto status = ParseCommandLine(app, std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr))
    return *status;
  o.settings.autoBackup = !o.manual;
  if (o.nandStart + o.nandBlocks - 1 > static_cast<long>(nand::kLastBlockNumber)) {
    std::fprintf(stderr, "handheld-sim: --nand-blocks %ld from --nand-start %ld runs past logical block FFFh (%u)\n",
                 o.nandBlocks, o.nandStart, nand::kLastBlockNumber);
    return kExitUsage;
  }

  EmulatedFlash flash = EmulatedFlash::Generated(static_cast<int>(o.norPages), static_cast<int>(o.nandBlocks),
                                                 static_cast<int>(o.nandStart));
  std::string error;
  if ((!o.norFile.empty() && !flash.LoadNor(o.norFile, error)) ||
      (!o.nandFile.empty() && !flash.LoadNand(o.nandFile, error))) {
    std::fprintf(stderr, "handheld-sim: %s\n", error.c_str());
    return 1;
  }
  // Where the flash goes at exit is checked now, before a session's repairs
  // could be lost to a folder or a missing folder there.
  for (const std::string* save : {&o.saveNor, &o.saveNand}) {
    const Target target = save->empty() ? Target{} : CheckTarget(*save);
    if (!target.problem.empty()) {
      std::fprintf(stderr, "handheld-sim: %s\n", target.problem.c_str());
      return 1;
    }
  }

  SimulatedHandheld handheld(flash, o.settings);
  LineModel model(handheld, o.line);
  PtyLine line(o.Modelled() ? static_cast<HandheldDevice&>(model) : handheld);
  if (!line.Ok()) {
    std::fprintf(stderr, "handheld-sim: %s\n", line.Error().c_str());
    return 1;
  }
  model.write = [&line](const std::uint8_t* bytes, std::size_t count) { line.Write(bytes, count); };
  model.computerSpeed = [&line] { return line.ComputerSpeed(); };
  HandheldLine& toComputer = o.Modelled() ? static_cast<HandheldLine&>(model) : line;
#ifdef __linux__
  // A paced byte lasts 11 us at 921600 bit/s: the line's waits may not be
  // stretched by the usual 50 us of timer slack.
  if (o.line.paced) prctl(PR_SET_TIMERSLACK, 1000UL);
#endif
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

  // Whoever read the device's name may stop the program at once: the flash
  // is saved then too.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
  std::signal(SIGPIPE, SIG_IGN);

  // The link stands before the device is named, so that whoever reads the
  // first line may use either.
  if (!o.link.empty()) {
    if (!MakeLink(o.link, line.SlavePath())) return 1;
    std::fprintf(stderr, "handheld-sim: %s -> %s\n", o.link.c_str(), line.SlavePath().c_str());
  }
  std::printf("%s\n", line.SlavePath().c_str());
  std::fflush(stdout);
  std::string lineNote;
  if (o.line.paced) lineNote += "; paced line";
  if (o.line.latency.count() > 0)
    lineNote += "; latency " + std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(o.line.latency).count()) + " ms";
  if (o.line.bitErrorRate > 0) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", o.line.bitErrorRate);
    lineNote += std::string("; bit error rate ") + rate + ", seed " + std::to_string(o.line.seed);
  }
  if (o.settings.resume) lineNote += "; resumes NAND backups";
  std::fprintf(stderr, "handheld-sim: NOR %zu pages, NAND %zu blocks from logical block %d, %ld bit/s%s%s\n",
               flash.norPages.size(), flash.nandBlocks.size(), flash.FirstNandBlock(), o.settings.transferSpeed,
               lineNote.c_str(), o.manual ? "; press Enter to start a backup" : "");

  line.onPass = [&] {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    char buffer[256];
    if (o.manual && poll(&p, 1, 0) > 0 && read(STDIN_FILENO, buffer, sizeof buffer) > 0)
      handheld.StartBackup(toComputer);
    return o.Modelled() ? model.Pass() : std::chrono::steady_clock::time_point::max();
  };
  line.Run(stopRequested);
  model.Drain();

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
