#include "common/command_line_parser.h"

#include <algorithm>
#include <memory>
#include <sstream>

const char* const kProgramVersion = PROGRAM_VERSION;

namespace {

// The program's name, what is wrong, then the help of the verb concerned
// (help() shows the verb that was given, else the whole program).
std::string UsageError(const CLI::App& app, const std::string& problem) {
  return app.get_name() + ": " + problem + "\n" + app.help();
}

bool TakesFiles(const CLI::App& verb) {
  return !verb.get_options([](const CLI::Option* o) { return o->get_positional(); }).empty();
}

// A dot or a slash: more likely a file's name than a mistyped option.
bool LooksLikeFile(const std::string& name) { return name.find_first_of("./\\") != std::string::npos; }

// What is wrong with `word`, left over by the verb `verb` (or, when `verb` is
// null, by the program before any verb was named).
std::string LeftoverProblem(const CLI::App* verb, const std::string& word) {
  if (word.size() < 2 || word[0] != '-') return verb ? "unexpected argument " + word : "unknown command " + word;
  const std::string name = word.rfind("--", 0) == 0 ? word.substr(0, word.find('=')) : word;
  std::string problem = "unknown option " + name;
  if (verb && TakesFiles(*verb) && LooksLikeFile(name))
    problem += "\n(to name a file that starts with '-', put -- before the files: " + verb->get_parent()->get_name() +
               " " + verb->get_name() + " [OPTIONS] -- " + word + ")";
  return problem;
}

// The first word that neither an option nor a verb took: the program's own
// leftovers come before the verb's.
std::optional<std::string> FirstLeftover(const CLI::App& app) {
  if (const auto words = app.remaining(); !words.empty()) return LeftoverProblem(nullptr, words.front());
  for (const CLI::App* verb : app.get_subcommands())
    if (const auto words = verb->remaining(); !words.empty()) return LeftoverProblem(verb, words.front());
  return std::nullopt;
}

HelpTranslation& Translation() {
  static HelpTranslation translation;
  return translation;
}

// The words CLI11 puts around the texts of the code, under their keys.
const std::pair<const char*, const char*> kHelpLabels[] = {
    {"Usage", "usage"},         {"OPTIONS", "OPTIONS"}, {"SUBCOMMAND", "SUBCOMMAND"}, {"REQUIRED", "REQUIRED"},
    {"Positionals", "Positionals"}, {"Needs", "Needs"},     {"Excludes", "Excludes"}};

// Columns a terminal gives `text`: a character of three or four bytes in
// UTF-8 (Chinese among them) takes two, every other one.
std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0xE0) width += 2;
    else if (byte < 0x80 || byte >= 0xC0) width += 1;
  }
  return width;
}

// CLI11 pads the column of option names by bytes; Chinese in a name ("FILE
// 必填") would push the descriptions out of line. Padded by columns instead.
class ColumnFormatter final : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* opt, bool positional) const override {
    const std::string name = make_option_name(opt, positional) + make_option_opts(opt);
    std::stringstream out;
    CLI::detail::format_help(out, name, make_option_desc(opt), get_column_width() + name.size() - DisplayWidth(name));
    return out.str();
  }
};

// Every text of `app`'s help, and of its verbs', through `tr`, shown by
// `formatter`. The placeholders ("FILE", "INT in [1 - 256]") are labels.
void TranslateHelp(CLI::App& app, const std::string& program, const HelpTranslation& tr,
                   const std::shared_ptr<CLI::Formatter>& formatter) {
  const auto translated = [&](const std::string& text) { return text.empty() ? text : tr(program, text); };
  app.formatter(formatter);
  app.description(translated(app.get_description()));
  app.group(translated(app.get_group()));
  app.footer(translated(app.get_footer()));
  for (CLI::Option* option : app.get_options()) {
    option->description(translated(option->get_description()));
    option->group(translated(option->get_group()));
    const std::string type = option->get_type_name();
    formatter->label(type, translated(type));
  }
  for (CLI::App* verb : app.get_subcommands([](CLI::App*) { return true; })) TranslateHelp(*verb, program, tr, formatter);
}

// The verb `word` names, or null.
const CLI::App* VerbNamed(const CLI::App& app, const std::string& word) {
  for (const CLI::App* verb : app.get_subcommands({}))
    if (verb->check_name(word)) return verb;
  return nullptr;
}

// What CLI11 itself gets wrong before any word is taken: "--help" after other
// words (the help is due whatever follows), "--version" with more words,
// and "--NAME=" with nothing after the "=" (CLI11 would take the next word
// for its value). The words after "--" are files and never count.
std::optional<int> Early(const CLI::App& app, const std::vector<std::string>& words, std::ostream& out,
                         std::ostream& err) {
  const auto end = std::find(words.begin(), words.end(), "--");
  const CLI::App* verb = words.empty() ? nullptr : VerbNamed(app, words.front());
  const std::string help = verb ? verb->help(app.get_name()) : app.help();
  for (auto word = words.begin(); word != end; ++word) {
    if (*word == "--help" || *word == "-h") {
      out << help << std::flush;
      return kExitSuccess;
    }
  }
  const auto usage = [&](const std::string& problem) {
    err << app.get_name() << ": " << problem << "\n" << help << std::flush;
    return kExitUsage;
  };
  if (!words.empty() && words.front() == "--version" && words.size() > 1) return usage("unexpected argument " + words[1]);
  for (auto word = words.begin(); word != end; ++word)
    if (word->size() > 3 && word->rfind("--", 0) == 0 && word->back() == '=' && word->find('=') == word->size() - 1)
      return usage("option " + word->substr(0, word->size() - 1) + " is given no value after '='");
  return std::nullopt;
}

}  // namespace

void SetHelpTranslation(HelpTranslation translate) { Translation() = std::move(translate); }

std::optional<int> ParseCommandLine(CLI::App& app, const std::vector<std::string>& words, std::ostream& out,
                                    std::ostream& err) {
  app.set_version_flag("--version", app.get_name() + " " + kProgramVersion, "print the version and exit");
  const HelpTranslation& tr = Translation();
  const HelpTranslation english = [](const std::string&, const std::string& text) { return text; };
  const auto formatter = std::make_shared<ColumnFormatter>();
  TranslateHelp(app, app.get_name(), tr ? tr : english, formatter);
  for (const auto& [key, label] : kHelpLabels) formatter->label(key, (tr ? tr : english)(app.get_name(), label));
  app.failure_message([](const CLI::App* failed, const CLI::Error& e) { return UsageError(*failed, e.what()); });
  if (const auto status = Early(app, words, out, err)) return status;
  std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them last first
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    // Help and the version come first. Then a word nobody took: the errors
    // that follow from it (a file taken for an option's value, a file
    // missing) would only mislead.
    if (e.get_exit_code() == 0) return app.exit(e, out, err);
    if (const auto leftover = FirstLeftover(app)) {
      err << UsageError(app, *leftover) << std::flush;
      return kExitUsage;
    }
    app.exit(e, out, err);
    return kExitUsage;
  }
  return std::nullopt;
}

const Model& ModelOption(const std::string& text) {
  if (const Model* model = ModelOnCommandLine(text)) return *model;
  throw CLI::ValidationError(text + " is not a model: give NC3000 or 2000系列 (or 2000)");
}
