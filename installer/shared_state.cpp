#include "installer/shared_state.h"

HINSTANCE module_instance;
char setup_caption[kSetupCaptionSize];
HWND main_window;
char install_folder[kPathCapacity];

HWND status_dialog;
LONG pause_flag;
LONG cancel_flag;

void show_error(const char* text) {
  char message[kErrorTextSize];
  compose_error_text(message, text);
  MessageBoxA(main_window, message, "Setup", MB_OK | MB_ICONERROR);
}
