#include "command_line.h"

#include <cctype>

#include "converter/conversions.h"
#include "converter/verify.h"

namespace {

const char* const kUsage =
    "usage: corvane                  (opens the window)\n"
    "       corvane nand2data [--force] SRC DST\n"
    "       corvane data2nand --start HEX [--version M.N] [--force] SRC DST\n"
    "       corvane verify IMAGE\n"
    "       corvane verify --repair [--force] IMAGE OUT\n";

// Answers for a conversion that runs without a person: the starting block
// question is shown and taken as Yes; an existing target is replaced only
// with --force.
class CommandLineHost final : public ConverterHost {
 public:
  CommandLineHost(std::ostream& out, bool force, std::string major, std::string minor)
      : out_(out), force_(force), major_(std::move(major)), minor_(std::move(minor)) {}

  void ShowMessage(const std::string& text) override { Print(text); }
  bool Ask(Question question, const std::string& text) override {
    if (question == Question::Overwrite && force_) return true;
    Print(text);
    return question == Question::StartBlock;
  }
  void SetProgressRange(int, int) override {}
  void SetProgressValue(int) override {}
  void SetConvertEnabled(bool) override {}
  void ReadVersionDigits(std::string& major, std::string& minor) override {
    major = major_;
    minor = minor_;
  }
  void ProcessEvents() override {}

 private:
  void Print(const std::string& text) {
    std::string line = text;
    for (std::size_t at; (at = line.find("\r\n")) != std::string::npos;) line.erase(at, 1);
    out_ << line << '\n' << std::flush;
  }

  std::ostream& out_;
  bool force_;
  std::string major_, minor_;
};

struct Options {
  bool force = false;
  bool repair = false;
  std::string start;
  bool startGiven = false;
  std::string major = "3", minor = "1";
  std::vector<std::string> paths;
};

bool ValidStart(const std::string& text) {
  if (text.empty() || text.size() > 4) return false;
  for (const char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool ValidVersion(const std::string& text) {
  return text.size() == 3 && std::isdigit(static_cast<unsigned char>(text[0])) && text[1] == '.' &&
         std::isdigit(static_cast<unsigned char>(text[2]));
}

// Reads the options after the verb; false with `problem` set on a usage error.
bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& problem) {
  const bool toNand = arguments[0] == "data2nand", verify = arguments[0] == "verify";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--force") {
      options.force = true;
    } else if (verify && a == "--repair") {
      options.repair = true;
    } else if (toNand && a == "--start" && i + 1 < arguments.size()) {
      options.start = arguments[++i];
      options.startGiven = true;
      if (!ValidStart(options.start)) return problem = "--start takes one to four hexadecimal digits", false;
    } else if (toNand && a == "--version" && i + 1 < arguments.size()) {
      const std::string& v = arguments[++i];
      if (!ValidVersion(v)) return problem = "--version takes two digits as M.N", false;
      options.major = v.substr(0, 1);
      options.minor = v.substr(2, 1);
    } else if (a.size() > 1 && a[0] == '-') {
      return problem = "unknown option or missing value: " + a, false;
    } else {
      options.paths.push_back(a);
    }
  }
  if (toNand && !options.startGiven) return problem = "data2nand needs --start HEX", false;
  if (verify && !options.repair) {
    if (options.force) return problem = "--force goes with --repair", false;
    if (options.paths.size() != 1) return problem = "expected IMAGE", false;
  } else if (options.paths.size() != 2) {
    return problem = verify ? "expected IMAGE and OUT" : "expected SRC and DST", false;
  }
  return true;
}

int RunVerify(const Options& options, std::ostream& out) {
  CommandLineHost host(out, options.force, "", "");
  VerifySummary summary;
  const FindingSink print = [&out](const VerifyFinding& f) { out << DescribeFinding(f) << '\n'; };
  const VerifyResult result = options.repair ? RepairImage(host, options.paths[0], options.paths[1], print, summary)
                                             : VerifyImage(host, options.paths[0], print, summary);
  if (result == VerifyResult::Clean || result == VerifyResult::Differs)
    for (const std::string& line : DescribeSummary(summary, options.repair)) out << line << '\n';
  out << std::flush;
  return result == VerifyResult::Clean ? 0 : 1;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  const std::string verb = arguments.empty() ? "" : arguments[0];
  if (verb != "nand2data" && verb != "data2nand" && verb != "verify") {
    err << (verb.empty() ? "" : "unknown verb: " + verb + "\n") << kUsage;
    return 2;
  }
  Options options;
  std::string problem;
  if (!ParseOptions(arguments, options, problem)) {
    err << problem << '\n' << kUsage;
    return 2;
  }
  if (verb == "verify") return RunVerify(options, out);
  const bool toNand = verb == "data2nand";
  CommandLineHost host(out, options.force, options.major, options.minor);
  const ConversionResult result = toNand
                                      ? Data2Nand(host, options.paths[0], options.paths[1], options.start)
                                      : Nand2Data(host, options.paths[0], options.paths[1]);
  return result == ConversionResult::Success ? 0 : 1;
}
