#include "command_line.h"

#include <cctype>

#include "common/command_line_parser.h"
#include "common/interruption.h"
#include "converter/conversions.h"
#include "converter/verify.h"

namespace {

// Answers for a conversion that runs without a person: the starting block
// question is taken as Yes; an existing target is replaced only with
// --force. Each question is printed with the answer taken.
class CommandLineHost final : public ConverterHost {
 public:
  CommandLineHost(std::ostream& out, bool force, std::string major, std::string minor)
      : out_(out), force_(force), major_(std::move(major)), minor_(std::move(minor)) {}

  void ShowMessage(const std::string& text) override { Print(text); }
  void ShowWithReason(const std::string& text, const std::string& reason) override {
    Print(text);
    if (!reason.empty()) Print(reason);
  }
  bool Ask(Question question, const std::string& text) override {
    const bool yes = question == Question::StartBlock || force_;
    Print(text + (yes ? " 是" : " 否"));
    if (!yes) Print("没有覆盖: 加上 --force 才会替换已有的文件.");
    return yes;
  }
  void ReadVersionDigits(std::string& major, std::string& minor) override {
    major = major_;
    minor = minor_;
  }
  bool CancelRequested() override { return Interrupted(); }

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

// The values of one command line; each verb reads the ones it declares.
struct Options {
  bool force = false;
  bool repair = false;
  std::string start;
  std::string major = "3", minor = "1";
  std::string source, target;
};

// One to four hexadecimal digits, and an "h" after them as block numbers are
// shown ("C32h"), which is dropped.
std::string StartDigits(const std::string& given) {
  std::string text = given;
  if (!text.empty() && (text.back() == 'h' || text.back() == 'H')) text.pop_back();
  bool digits = !text.empty() && text.size() <= 4;
  for (const char c : text) digits = digits && std::isxdigit(static_cast<unsigned char>(c));
  if (!digits)
    throw CLI::ValidationError(given + " is not a block number: give one to four hexadecimal digits, "
                               "optionally followed by h, such as 2 or C32h");
  return text;
}

std::string VersionProblem(const std::string& text) {
  const bool ok = text.size() == 3 && std::isdigit(static_cast<unsigned char>(text[0])) && text[1] == '.' &&
                  std::isdigit(static_cast<unsigned char>(text[2]));
  return ok ? "" : text + " is not a version: give two digits as M.N, such as 3.1";
}

enum class Verb { None, Nand2Data, Data2Nand, Verify };

// Every verb with its options. A new verb or option goes here; its value
// lands in `o`, and the verb named on the line is left in `verb`.
void DefineVerbs(CLI::App& app, Options& o, Verb& verb) {
  const auto add = [&](const char* name, const char* summary, Verb which) {
    CLI::App* v = app.add_subcommand(name, summary);
    v->callback([&verb, which] { verb = which; });
    return v;
  };
  const auto force = [&](CLI::App* v) { return v->add_flag("--force", o.force, "replace an existing target"); };

  CLI::App* v = add("nand2data", "NAND image -> data file (the page data alone)", Verb::Nand2Data);
  force(v);
  v->add_option("SRC", o.source, "the NAND image (.nand)")->required()->type_name("");
  v->add_option("DST", o.target, "the data file to write (.dat)")->required()->type_name("");

  v = add("data2nand", "data file -> NAND image with rebuilt spare areas", Verb::Data2Nand);
  v->add_option("--start", o.start, "the starting logical block number, hexadecimal (2, C32 or C32h)")
      ->required()
      ->transform(StartDigits)
      ->type_name("HEX");
  v->add_option_function<std::string>(
       "--version",
       [&o](const std::string& version) {
         o.major = version.substr(0, 1);
         o.minor = version.substr(2, 1);
       },
       "the version byte as two digits M.N (3.1 by default)")
      ->check(VersionProblem)
      ->type_name("M.N");
  force(v);
  v->add_option("SRC", o.source, "the data file (.dat)")->required()->type_name("");
  v->add_option("DST", o.target, "the NAND image to write (.nand)")->required()->type_name("");

  v = add("verify", "check every page's spare area of a NAND image", Verb::Verify);
  v->footer("Exit status: 0 a clean image; with --repair 3 when bits were corrected in the copy and nothing "
            "is left, 1 when anything is left; 1 a refusal or failure, 2 a usage error.");
  CLI::Option* repair =
      v->add_flag("--repair", o.repair, "write a copy to OUT with every located single-bit error corrected");
  force(v)->needs(repair);
  v->add_option("IMAGE", o.source, "the NAND image (.nand)")->required()->type_name("");
  CLI::Option* out = v->add_option("OUT", o.target, "the corrected copy to write (with --repair)")->type_name("");
  out->needs(repair);
  repair->needs(out);
}

// What a corrected copy cannot promise, said wherever bits were corrected.
const char* const kCorrectionLimit =
    "注意: 一页中有三个或更多位出错时, 也可能像一位错误那样被纠正, 结果是错的; 如有另一份备份, 请用 tolvar compare 与副本比较.";

// An interruption leaves the target as it was; the line says so, for a run
// that is otherwise silent after its last question.
void SayCancelled(std::ostream& out, const char* what, const std::string& target) {
  out << "已取消: " << what << "被中断" << (target.empty() ? "." : ", " + target + " 没有改变.") << std::endl;
}

int RunVerify(const Options& options, std::ostream& out) {
  CommandLineHost host(out, options.force, "", "");
  VerifySummary summary;
  const FindingSink print = [&out](const VerifyFinding& f) { out << DescribeFinding(f) << '\n'; };
  const VerifyResult result = options.repair ? RepairImage(host, options.source, options.target, print, summary)
                                             : VerifyImage(host, options.source, print, summary);
  if (result == VerifyResult::Cancelled) SayCancelled(out, "检查", options.target);
  if (result != VerifyResult::Clean && result != VerifyResult::Differs) return kExitFailure;
  for (const std::string& line : DescribeSummary(summary, options.repair)) out << line << '\n';
  out << std::flush;
  if (!options.repair) return result == VerifyResult::Clean ? kExitSuccess : kExitFailure;
  // The copy is what the user goes on with: what is left in it decides. A
  // check that did not run to its end counts nothing.
  VerifySummary copy;
  const VerifyResult checked = VerifyImage(host, options.target, nullptr, copy);
  if (checked == VerifyResult::Cancelled)
    out << "对副本的检查被中断: " << options.target << " 已写好, 但没有检查完.\n";
  else if (checked == VerifyResult::Clean || checked == VerifyResult::Differs)
    out << "纠正后仍不符页数: " << copy.PagesDiffering() << '\n'
        << "纠正后块校验和不符块数: " << copy.blocksSumDiffers << '\n';
  if (summary.bitsCorrected > 0) out << kCorrectionLimit << '\n';
  out << std::flush;
  if (checked != VerifyResult::Clean) return kExitFailure;
  return summary.bitsCorrected > 0 ? kExitCorrected : kExitSuccess;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  CLI::App app(
      "Converts NAND images to data files and back, and checks NAND images.\n"
      "With no arguments Corvane opens its window.",
      "corvane");
  app.require_subcommand(1);
  Options options;
  Verb verb = Verb::None;
  DefineVerbs(app, options, verb);
  if (const auto status = ParseCommandLine(app, arguments, out, err)) return *status;
  if (verb == Verb::Verify) return RunVerify(options, out);
  CommandLineHost host(out, options.force, options.major, options.minor);
  const ConversionResult result = verb == Verb::Data2Nand
                                      ? Data2Nand(host, options.source, options.target, options.start)
                                      : Nand2Data(host, options.source, options.target);
  if (result == ConversionResult::Cancelled) SayCancelled(out, "转换", options.target);
  return result == ConversionResult::Success ? kExitSuccess : kExitFailure;
}
