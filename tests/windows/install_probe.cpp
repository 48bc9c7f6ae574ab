// A test build of the stub: the installer's own code and flags, with an
// entry that installs into the folder named by its first argument without
// asking first. Tests run it as a process to watch the outcomes that end
// the process, and the product build as a whole.
#include <windows.h>

#include "common/program_start.h"
#include "installer/config_block.h"
#include "installer/install_sequence.h"
#include "installer/shared_state.h"

int program_main(int argc, char** argv) {
  module_instance = GetModuleHandleA(nullptr);
  compose_setup_caption(setup_caption, config.AppTitle);
  if (argc < 2) return 3;
  set_install_folder(argv[1]);
  install_into_folder(argv[0]);
  return 0;
}
