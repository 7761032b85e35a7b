#pragma once
#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/models.h"

// What the command lines of all our programs share, on top of CLI11: `--help`
// (or `-h`) prints the help of the verb it follows and ends with status 0; a
// usage error names the problem, shows the help of the verb concerned and
// ends with status 2; `--` ends the options, so that a file named `-x.nand`
// can be given; `--version` prints the program's name and version and ends
// with status 0. A word that no option or verb takes is the usage error
// reported, by name ("unknown command bogus", "unknown option --prot",
// "unexpected argument y.dat"), before anything it may have caused.
//
// Parses `words` (the arguments after the program name). Returns nothing when
// the line is well formed and the program goes on; otherwise the exit status,
// after the help went to `out` or the usage error to `err`.
std::optional<int> ParseCommandLine(CLI::App& app, const std::vector<std::string>& words, std::ostream& out,
                                    std::ostream& err);

// The model an option names (ModelOnCommandLine); a usage error for a text
// that names none.
const Model& ModelOption(const std::string& text);

// Gives a help text in the user's language: `program` is the name the
// program's CLI::App carries ("tolvar"), `text` the English text as the code
// gives it. Returns `text` itself when it knows no translation.
using HelpTranslation = std::function<std::string(const std::string& program, const std::string& text)>;

// From now on ParseCommandLine shows every help text (descriptions, groups,
// placeholders and CLI11's own words) through `translate`. Without it the
// help is the English of the code. The programs' main sets it once, where Qt
// can tell the system's language (common/help_language.h).
void SetHelpTranslation(HelpTranslation translate);

// The version of the programs and of their package: the project's version.
extern const char* const kProgramVersion;

// Exit statuses of every verb: the task succeeded; any other ending; a usage error.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
