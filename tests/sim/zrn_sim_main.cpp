// zrn-sim: runs a program once on a simulated machine laid out from a
// scenario directory (any of etc/, usr_lib/, usr_lib64/, lib/, var/, sys/,
// pkg/) and the built files named with --copy (e.g. stand-in libraries that
// cannot live in a source tree), then reports what the run did: its console output, its exit code,
// the component log and the files asked for with --show.
//
// The scenario directory itself is left as it is: the run works on a copy,
// removed afterwards unless --keep is given.
//
// Exit status: the program's own exit code; 124 when it timed out, 128 plus
// the signal when one ended it, 125 when the machine could not be set up or
// the command line is wrong.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/sim/scenario.h"

namespace {

const char kUsage[] =
    "usage: zrn-sim [--keep] [--timeout SECONDS] [--copy MACHINE_PATH=FILE]... [--show PATH]...\n"
    "               SCENARIO_DIR PROGRAM [ARG...]\n"
    "  --copy MACHINE_PATH=FILE   put a copy of FILE at MACHINE_PATH on the machine\n"
    "  --show PATH   also print this file after the run: an absolute path on the\n"
    "                simulated machine, or a path in the package directory\n";

// Prints a section: its heading, then the text, ending with a newline.
void Section(const std::string& heading, const std::string& text) {
  std::printf("=== %s ===\n%s", heading.c_str(), text.c_str());
  if (!text.empty() && text.back() != '\n') std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool keep = false;
  zrn_sim::RunOptions options;
  std::vector<std::string> shows;
  std::vector<std::pair<std::string, std::string>> copies;
  int i = 1;
  for (; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--keep") {
      keep = true;
    } else if (arg == "--timeout" && i + 1 < argc) {
      options.timeout_seconds = std::atoi(argv[++i]);
      if (options.timeout_seconds <= 0) {
        std::fprintf(stderr, "zrn-sim: bad --timeout %s\n", argv[i]);
        return 125;
      }
    } else if (arg == "--copy" && i + 1 < argc) {
      const std::string copy = argv[++i];
      const size_t equals = copy.find('=');
      if (equals == std::string::npos || equals == 0 || equals + 1 == copy.size()) {
        std::fprintf(stderr, "zrn-sim: bad --copy %s\n", copy.c_str());
        return 125;
      }
      copies.emplace_back(copy.substr(0, equals), copy.substr(equals + 1));
    } else if (arg == "--show" && i + 1 < argc) {
      shows.push_back(argv[++i]);
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      break;
    }
  }
  if (argc - i < 2) {
    std::fputs(kUsage, stderr);
    return 125;
  }
  const std::string tree = argv[i];
  const std::string program = argv[i + 1];
  const std::vector<std::string> args(argv + i + 2, argv + argc);

  zrn_sim::Scenario scenario;
  if (keep) scenario.Keep();
  scenario.Import(tree);
  for (const auto& copy : copies) scenario.CopyFile(copy.first, copy.second);
  zrn_sim::RunResult r = scenario.Run(program, args, options);
  if (!r.setup_error.empty()) {
    std::fprintf(stderr, "zrn-sim: %s\n", r.Describe().c_str());
    return 125;
  }

  Section("console output", r.out);
  if (!r.err.empty()) Section("standard error", r.err);
  std::printf("=== %s ===\n", r.exited ? ("exit code: " + std::to_string(r.exit_code)).c_str()
                                       : r.Describe().c_str());
  std::optional<std::string> log = scenario.Log();
  Section("/var/zrn/Component.log", log ? *log : "(no log file)\n");
  for (const std::string& show : shows) {
    std::optional<std::string> text =
        show.empty() || show[0] != '/' ? scenario.ReadPkg(show) : scenario.Read(show);
    Section(show, text ? *text : "(not written)\n");
  }
  if (keep) std::printf("=== scenario kept at %s ===\n", scenario.Root().c_str());
  std::fflush(stdout);

  if (r.timed_out) return 124;
  if (!r.exited) return 128 + r.signal;
  return r.exit_code;
}
