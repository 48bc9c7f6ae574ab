// `lume encode` and `lume decode`: raw streams of the payload format.
#pragma once

#include <CLI/CLI.hpp>

namespace lume {

void add_codec_commands(CLI::App& app);

}  // namespace lume
