// The installer's entry point, for now: it finds and checks the payload
// behind its own image and reports what stands in the way. The install
// sequence takes over from here as its pieces arrive.
#include <windows.h>

#include "common/program_start.h"
#include "installer/config_block.h"
#include "installer/shared_state.h"
#include "payload/archive_reader.h"
#include "payload/check_value.h"

int program_main(int, char** argv) {
  module_instance = GetModuleHandleA(nullptr);
  compose_setup_caption(setup_caption, config.AppTitle);
  build_crc_table();
  const char* failure = open_payload(argv[0], 0);
  if (failure != nullptr) {
    show_error(failure);
    return 0;
  }
  close_installer_file();
  return 0;
}
