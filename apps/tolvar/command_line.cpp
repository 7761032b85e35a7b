#include "command_line.h"

#include <algorithm>
#include <iostream>

#include "link/port_text.h"
#include "link/present_ports.h"
#include "port_verbs.h"

namespace {

// "00,01,02-" into the page choices; false for anything else, an empty item
// included.
bool ParsePages(const std::string& list, NorRepairOptions& options) {
  options.page00 = options.page01 = options.pagesFrom02 = false;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = list.find(',', from);
    const std::string item = list.substr(from, comma - from);
    if (item == "00") options.page00 = true;
    else if (item == "01") options.page01 = true;
    else if (item == "02-") options.pagesFrom02 = true;
    else return false;
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

using VerbRun = int (*)(const Arguments&);

// Every verb with its options. A new verb or option goes here; its value
// lands in `a`, and the verb named on the line is left in `run`.
void DefineVerbs(CLI::App& app, Arguments& a, VerbRun& run) {
  const auto verb = [&](const char* name, const char* summary, VerbRun verbRun) {
    CLI::App* v = app.add_subcommand(name, summary);
    v->callback([&run, verbRun] { run = verbRun; });
    return v;
  };
  const auto file = [&](CLI::App* v, const char* what, const char* name = "FILE", std::string* into = nullptr) {
    v->add_option(name, into ? *into : a.file, what)->required()->type_name("")->check([](const std::string& file) {
      return file.empty() ? "names no file" : "";
    });
  };
  const auto transfer = [&](CLI::App* v) {
    v->add_option("--port", a.port, "comN, a device (a name with a slash is a path), or auto: the only USB adapter")
        ->required()
        ->check([](const std::string& port) -> std::string {
          if (ConsoleSession::IsPortName(port)) return "";
          return (port.empty() ? "names no port" : port + " is not a port") + ": give com1 to com" +
                 std::to_string(kHighestPort) + ", a device such as /dev/ttyUSB0, or auto";
        })
        ->type_name("PORT");
    v->add_option("--model", a.model, ModelChoices())
        ->transform([](const std::string& text) { return std::string(ModelOption(text).name); })
        ->type_name("MODEL");
    v->add_flag("--batch", a.batch, "answer every question No and do not wait for Enter");
  };
  const auto pages = [&](CLI::App* v, const char* what) {
    v->add_option_function<std::string>(
         "--pages",
         [&a](const std::string& list) {
           a.somePages = true;
           if (!ParsePages(list, a.pages))
             throw CLI::ValidationError(
                 "--pages", list + " is not a page list: give 00, 01 and 02- separated by commas, such as 00,02-");
         },
         what)
        ->type_name("LIST");
  };
  const auto blocks = [&](CLI::App* v, const char* what) {
    v->add_option_function<std::string>(
         "--blocks",
         [&a](const std::string& range) {
           const std::size_t dash = range.find('-');
           a.someBlocks = true;
           a.firstBlock = range.substr(0, dash);
           a.lastBlock = range.substr(dash + 1);
           if (dash == std::string::npos || !AllDigits(a.firstBlock) || !AllDigits(a.lastBlock))
             throw CLI::ValidationError(
                 "--blocks", range + " is not a block range: give FIRST-LAST, two block numbers such as 2-5");
         },
         what)
        ->type_name("FIRST-LAST");
  };
  const auto repair = [&](CLI::App* v) {
    v->add_flag("--low-speed", a.lowSpeed, "stay at 115200 bit/s throughout");
    v->add_flag("--format", a.format, "format the handheld after the repair");
  };

  const auto backup = [&](CLI::App* v) {
    transfer(v);
    v->add_option_function<std::string>(
         "--retries",
         [&a](const std::string& count) {
           if (!AllDigits(count) || count.size() > 9)
             throw CLI::ValidationError(
                 "--retries", count + " is not a count: give a whole number from 0 to 999999999, such as 1000");
           a.retries = std::stoi(count);
         },
         "answer Yes to the first N questions whether to start again (0)")
        ->type_name("N");
  };

  CLI::App* v = verb("backup-nor", "back up the NOR flash into FILE", BackupNorVerb);
  backup(v);
  file(v, "the NOR image to write (.nor)");

  v = verb("backup-nand", "back up the NAND flash into FILE", BackupNandVerb);
  backup(v);
  v->add_option("--continue", a.partial,
                "start with the blocks of the NAND image PARTIAL (a broken-off backup's x.partial.nand) kept: a "
                "handheld that starts at the block after them continues them; PARTIAL is only read")
      ->type_name("PARTIAL");
  file(v, "the NAND image to write (.nand)");

  v = verb("repair-nor", "write pages of a NOR image back into the handheld", RepairNorVerb);
  transfer(v);
  pages(v, "a comma list of 00, 01 and 02- (pages 02 to the last, the default; corrects the image's check values first)");
  repair(v);
  file(v, "the NOR image to write (.nor)");

  v = verb("repair-nand", "write blocks of a NAND image back into the handheld", RepairNandVerb);
  transfer(v);
  blocks(v, "the blocks to write, counted from 1 (all blocks by default)");
  repair(v);
  file(v, "the NAND image to write (.nand)");

  v = verb("verify-nor", "compare the handheld's NOR flash with FILE as the handheld sends it; writes nothing",
           VerifyNorVerb);
  transfer(v);
  pages(v, "a comma list of 00, 01 and 02- (pages 02 to the last): compare only those (all pages of FILE by default)");
  file(v, "the NOR image to compare with (.nor)");

  v = verb("verify-nand", "compare the handheld's NAND flash with FILE as the handheld sends it; writes nothing",
           VerifyNandVerb);
  transfer(v);
  blocks(v, "compare only the blocks of FILE that repair-nand --blocks FIRST-LAST writes (all blocks by default)");
  file(v, "the NAND image to compare with (.nand)");

  v = verb("compare", "compare two NOR or two NAND images page by page or block by block", CompareVerb);
  file(v, "the first image: a NOR image, or a NAND image (its blocks are counted in the lines)", "A");
  file(v, "the second image, of A's kind", "B", &a.otherFile);

  v = verb("check", "check a NOR image's CRC and NorCheckSum, or every page and block of a NAND image; exit 0 when "
           "all is sound", CheckVerb);
  file(v, "the image: a NOR image (.nor) or a NAND image (.nand)");

  v = verb("join", "join NAND images whose logical blocks follow on or overlap into OUT (blocks held twice must agree)",
           JoinVerb);
  v->add_option("IMAGES", a.images, "two or more NAND images, in any order, then OUT, the NAND image to write")
      ->required()
      ->expected(-3)
      ->type_name("");

  v = verb("fix-nor-checks", "correct a NOR image's CRC and NorCheckSum in place", FixNorChecksVerb);
  file(v, "the NOR image (.nor)");

  verb("ports", "list the serial ports present: the name for --port, the device, the USB ids, the description",
       [](const Arguments&) { return ListPorts(PresentPorts(), std::cout, std::cerr); });
}

// "comN" in any case: a port number, not a device name.
bool NamesComPort(const std::string& port) {
  return port.size() >= 3 && QString::fromStdString(port.substr(0, 3)).compare("com", Qt::CaseInsensitive) == 0;
}

}  // namespace

int RefuseImage(Host& host, const std::string& message, const std::string& reason) {
  host.ShowMessage(message);
  if (!reason.empty()) host.ShowMessage(reason);
  return kExitFailure;
}

ConsoleSession::ConsoleSession(const std::string& model, bool batch, int retries)
    : host(batch, model, retries), m(io, clock, host) {
  host.SetModule(&m);
}

bool ConsoleSession::IsPortName(const std::string& port) {
  if (!NamesComPort(port)) return !port.empty();
  const int number = PortNumberOfText(port);
  return number >= 1 && number <= kHighestPort && std::to_string(number) == port.substr(3);
}

void ConsoleSession::UsePort(const std::string& port) {
  if (NamesComPort(port))
    m.ComPort = PortNumberOfText(port);
  else
    m.UseDevice(port);
}

std::unique_ptr<ConsoleSession> OpenSession(const Arguments& args) {
  auto session = std::make_unique<ConsoleSession>(args.model, args.batch, args.retries);
  session->UsePort(args.port);
  session->m.ImagePath = args.file;
  return session;
}

int RunCommandLine(const std::vector<std::string>& words) {
  CLI::App app("Backs up and repairs the handheld's NOR and NAND flash over a serial cable.\n"
               "With no arguments Tolvar opens its window.",
               "tolvar");
  app.require_subcommand(1);
  Arguments args;
  VerbRun run = nullptr;
  DefineVerbs(app, args, run);
  if (const auto status = ParseCommandLine(app, words, std::cout, std::cerr)) return *status;
  if (QString::fromStdString(args.port).compare("auto", Qt::CaseInsensitive) == 0) {  // as COM1 is com1
    const std::optional<std::string> adapter = AutoPort(PresentPorts(), std::cerr);
    if (!adapter) return kExitFailure;
    args.port = *adapter;
  }
  return run(args);
}
