#include "common/command_line_parser.h"

std::optional<int> ParseCommandLine(CLI::App& app, const std::vector<std::string>& words, std::ostream& out,
                                    std::ostream& err) {
  app.get_formatter()->label("Usage", "usage");
  app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
    // help() shows the verb that was given, else the whole program.
    return failed->get_name() + ": " + e.what() + "\n" + failed->help();
  });
  std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them last first
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e, out, err);
    return status == 0 ? 0 : kExitUsage;
  }
  return std::nullopt;
}
