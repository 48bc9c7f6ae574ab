// The building tool's own subcommands: build, list, verify, extract.
#pragma once

#include <CLI/CLI.hpp>

namespace lume {

// Each subcommand's work runs when the command line is parsed; its exit
// status (0, or 1 when verify or extract found a fault) lands in exit_code.
void add_tool_commands(CLI::App& app, int& exit_code);

}  // namespace lume
