// lume: builds Lume installers and lists, verifies and extracts them.
#include <fmt/core.h>

#include <CLI/CLI.hpp>

#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/cli/codec_commands.h"
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

void print_usage_problem(const std::string& problem) {
  fmt::print(stderr, "lume: {}\nRun 'lume help' or 'lume help COMMAND' for the usage.\n",
             lume::escaped_text(problem, lume::LineFeeds::keep));
}

// "lume help", or "lume help COMMAND"; 2 for a command there is not.
int print_help(CLI::App& app, const std::string& command) {
  CLI::App* shown = &app;
  if (!command.empty()) {
    auto named = app.get_subcommands([&](CLI::App* c) { return c->get_name() == command; });
    if (named.empty()) {
      print_usage_problem(fmt::format("unknown command '{}'", command));
      return 2;
    }
    shown = named.front();
  }
  fmt::print("{}", app.get_formatter()->make_help(
                       shown, shown == &app ? "lume" : "lume " + command, CLI::AppFormatMode::Normal));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  lume::host::return_large_blocks_to_the_system();
  lume::host::remove_partial_files_on_signals();
  // Named here, or the help shows the path the tool was started by.
  CLI::App app{
      "lume: builds self-extracting Windows installers, and lists, verifies and "
      "extracts them",
      "lume"};
  app.require_subcommand(0, 1);
  const std::string version = std::string("lume ") + LUME_VERSION;
  app.set_version_flag("-V,--version", version);
  app.footer(lume::stub_location_rule());
  std::string help_command;
  auto* help = app.add_subcommand("help", "Show this help, or a command's: lume help COMMAND");
  help->add_option("command", help_command, "The command to show");
  auto* version_command = app.add_subcommand("version", "Show lume's version");
  int exit_code = 0;
  lume::add_tool_commands(app, exit_code);
  lume::add_codec_commands(app);

  try {
    app.parse(argc, argv);
    if (*version_command) {
      fmt::print("{}\n", version);
      return 0;
    }
    if (*help || app.get_subcommands().empty()) return print_help(app, help_command);
  } catch (const CLI::ParseError& e) {
    // --help and --version arrive here too, as successes.
    if (e.get_exit_code() == 0) return app.exit(e);
    print_usage_problem(usage_problem(app, e, argc, argv));
    return 2;
  } catch (const lume::Error& e) {
    fmt::print(stderr, "lume: {}\n", lume::escaped_text(e.what(), lume::LineFeeds::keep));
    return 1;
  } catch (const std::exception& e) {  // from the libraries: a file system or memory fault
    fmt::print(stderr, "lume: {}\n", lume::escaped_text(e.what(), lume::LineFeeds::keep));
    return 1;
  }
  return exit_code;
}
