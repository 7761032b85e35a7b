#include "command_line.h"

#include <cstring>
#include <iostream>
#include <memory>

namespace {

struct Verb {
  const char* name;
  int (*run)(const Arguments&);
  std::set<std::string> options;  // take a value
  std::set<std::string> flags;
};

const Verb kVerbs[] = {
    {"backup-nor", BackupNorVerb, {"--port", "--model"}, {"--batch"}},
    {"backup-nand", BackupNandVerb, {"--port", "--model"}, {"--batch"}},
    {"repair-nor", RepairNorVerb, {"--port", "--model", "--pages"}, {"--low-speed", "--format", "--batch"}},
    {"repair-nand", RepairNandVerb, {"--port", "--model", "--blocks"}, {"--low-speed", "--format", "--batch"}},
    {"fix-nor-checks", FixNorChecksVerb, {}, {}},
};

const char kUsage[] =
    "usage: tolvar                      (opens the window)\n"
    "       tolvar backup-nor  --port PORT [--model MODEL] [--batch] FILE\n"
    "       tolvar backup-nand --port PORT [--model MODEL] [--batch] FILE\n"
    "       tolvar repair-nor  --port PORT [--model MODEL] [--pages LIST] [--low-speed] [--format] [--batch] FILE\n"
    "       tolvar repair-nand --port PORT [--model MODEL] [--blocks FIRST-LAST] [--low-speed] [--format] [--batch] FILE\n"
    "       tolvar fix-nor-checks FILE\n"
    "LIST: a comma list of 00, 01, 02- (default 02-)\n"
    "PORT: com1..com9 or a device path; MODEL: NC3000 (default) or 2000系列 (also 2000)\n";

const Verb* FindVerb(const std::string& name) {
  for (const Verb& verb : kVerbs)
    if (name == verb.name) return &verb;
  return nullptr;
}

// Fills `args`; returns an error text, empty when the line is well formed.
std::string Parse(const std::vector<std::string>& words, const Verb& verb, Arguments& args) {
  args.verb = verb.name;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (verb.options.count(word)) {
      if (i + 1 >= words.size()) return word + " needs a value";
      args.options[word] = words[++i];
    } else if (verb.flags.count(word)) {
      args.flags.insert(word);
    } else if (word.rfind("--", 0) == 0) {
      return "unknown option " + word;
    } else {
      args.files.push_back(word);
    }
  }
  return {};
}

}  // namespace

int UsageError(const std::string& problem) {
  std::cerr << "tolvar: " << problem << "\n" << kUsage;
  return kExitUsage;
}

ConsoleSession::ConsoleSession(const std::string& model, bool batch) : host(batch, model), m(io, clock, host) {
  host.SetModule(&m);
}

bool ConsoleSession::UsePort(const std::string& port) {
  if (port.size() == 4 && port.rfind("com", 0) == 0 && port[3] >= '1' && port[3] <= '9') {
    m.ComPort = port[3] - '0';
    return true;
  }
  if (port.empty() || port.rfind("com", 0) == 0 || port.rfind("COM", 0) == 0) return false;
  m.ComPort = 1;
  io.SetDevice(m.ComPort, QString::fromStdString(port));
  return true;
}

std::unique_ptr<ConsoleSession> OpenSession(const Arguments& args) {
  std::string model = args.options.count("--model") ? args.options.at("--model") : "NC3000";
  if (model == "2000") model = "2000系列";
  if (model != "NC3000" && model != "2000系列") return UsageError("unknown model " + model), nullptr;
  if (!args.options.count("--port")) return UsageError("--port is missing"), nullptr;
  if (args.files.size() != 1) return UsageError("name exactly one FILE"), nullptr;
  auto session = std::make_unique<ConsoleSession>(model, args.flags.count("--batch") > 0);
  if (!session->UsePort(args.options.at("--port"))) return UsageError("bad port " + args.options.at("--port")), nullptr;
  session->m.ImagePath = args.files[0];
  ConsoleHost::CatchInterrupt();
  return session;
}

int RunCommandLine(const std::vector<std::string>& words) {
  const std::string& name = words.at(0);
  if (name == "--help" || name == "-h") {
    std::cout << kUsage;
    return kExitSuccess;
  }
  const Verb* verb = FindVerb(name);
  if (!verb) return UsageError("unknown command " + name);
  Arguments args;
  const std::string problem = Parse(words, *verb, args);
  if (!problem.empty()) return UsageError(problem);
  return verb->run(args);
}
