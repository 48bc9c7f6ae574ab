// lume: builds Lume installers and lists, verifies and extracts them.
#include <fmt/core.h>

#include <CLI/CLI.hpp>

#include "tools/lume/cli/codec_commands.h"
#include "tools/lume/base/error.h"
#include "tools/lume/cli/stub_location.h"
#include "tools/lume/cli/tool_commands.h"
#include "tools/lume/host/host_system.h"

namespace {

// CLI11 calls a word it does not know "an argument"; in the first place it
// can only have been meant as a command.
std::string usage_problem(const CLI::App& app, const CLI::ParseError& e, int argc, char** argv) {
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && app.get_subcommands().empty() &&
      argc > 1 && argv[1][0] != '-')
    return fmt::format("unknown command '{}'", argv[1]);
  return e.what();
}

}  // namespace

int main(int argc, char** argv) {
  lume::host::return_large_blocks_to_the_system();
  lume::host::remove_partial_files_on_signals();
  CLI::App app{
      "lume: builds self-extracting Windows installers, and lists, verifies and "
      "extracts them"};
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", std::string("lume ") + LUME_VERSION);
  app.footer(lume::stub_location_rule());
  auto* help = app.add_subcommand("help", "Show this help");
  int exit_code = 0;
  lume::add_tool_commands(app, exit_code);
  lume::add_codec_commands(app);

  try {
    app.parse(argc, argv);
    if (*help || app.get_subcommands().empty()) {
      fmt::print("{}", app.get_formatter()->make_help(&app, "lume", CLI::AppFormatMode::Normal));
      return 0;
    }
  } catch (const CLI::ParseError& e) {
    // --help and --version arrive here too, as successes.
    if (e.get_exit_code() == 0) return app.exit(e);
    fmt::print(stderr, "lume: {}\nRun 'lume help' or 'lume COMMAND --help' for the usage.\n",
               usage_problem(app, e, argc, argv));
    return 2;
  } catch (const lume::Error& e) {
    fmt::print(stderr, "lume: {}\n", e.what());
    return 1;
  } catch (const std::exception& e) {  // from the libraries: a file system or memory fault
    fmt::print(stderr, "lume: {}\n", e.what());
    return 1;
  }
  return exit_code;
}
