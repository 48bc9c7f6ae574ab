// The installer's entry point: the start question, then the background
// window, whose start message runs the install sequence, and its message
// loop until the window closes itself.
#include <windows.h>

#include "common/bounded_text.h"
#include "common/program_start.h"
#include "installer/background_window.h"
#include "installer/config_block.h"
#include "installer/shared_state.h"

#define LUME_START_QUESTION " will be installed. Do you wish to continue?"

int program_main(int, char** argv) {
  module_instance = GetModuleHandleA(nullptr);
  compose_setup_caption(setup_caption, config.AppTitle);
  char question[kTextSlotWidth + sizeof LUME_START_QUESTION];
  join_text(question, sizeof question, config.AppTitle, LUME_START_QUESTION);
  if (MessageBoxA(nullptr, question, setup_caption, MB_YESNO) != IDYES) return 1;

  background_program_name = argv[0];
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  // Without its window the start message would reach nobody and the loop
  // would wait for ever.
  if (!open_background_window(blue)) {
    show_error("Cannot create the setup window.");
    DeleteObject(blue);
    return 1;
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  DeleteObject(blue);
  return 0;
}
