#include "tools/lume/cli/codec_commands.h"

namespace lume {

void add_codec_commands(CLI::App&) {}

}  // namespace lume
