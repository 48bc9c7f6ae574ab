// The installer's entry point, for now: the start confirmation, then the
// install sequence. The background window takes the sequence over later.
#include <windows.h>

#include "common/bounded_text.h"
#include "common/program_start.h"
#include "installer/config_block.h"
#include "installer/install_sequence.h"
#include "installer/shared_state.h"

#define LUME_START_QUESTION " will be installed. Do you wish to continue?"

int program_main(int, char** argv) {
  module_instance = GetModuleHandleA(nullptr);
  compose_setup_caption(setup_caption, config.AppTitle);
  char question[kTextSlotWidth + sizeof LUME_START_QUESTION];
  join_text(question, sizeof question, config.AppTitle, LUME_START_QUESTION);
  if (MessageBoxA(nullptr, question, setup_caption, MB_YESNO) != IDYES) return 1;
  install_sequence(nullptr, argv[0]);
  return 0;
}
