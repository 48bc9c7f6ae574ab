// Process-wide values of the installer, each set by one step and read by
// several, and the one error box every reported failure goes through.
#pragma once

#include <windows.h>

#include "common/bounded_text.h"
#include "installer/message_text.h"

extern HINSTANCE module_instance;            // loads the dialog templates
extern char setup_caption[kSetupCaptionSize];  // AppTitle + " Setup"
extern HWND main_window;                     // owner of the main thread's boxes
extern char install_folder[kPathCapacity];   // chosen folder, ends in '\\' once set

// The three words the progress dialog's thread writes and the main thread
// polls. Each has one writer; every read must see the current value, so they
// are only touched through load_word and store_word.
extern HWND status_dialog;  // 0 until the dialog's procedure first runs
extern LONG pause_flag;     // 1 while the cancel question is on the screen
extern LONG cancel_flag;    // 1 once cancelling is confirmed; never cleared

template <typename T>
inline T load_word(const T& word) {
  return __atomic_load_n(&word, __ATOMIC_ACQUIRE);
}
template <typename T>
inline void store_word(T& word, T value) {
  __atomic_store_n(&word, value, __ATOMIC_RELEASE);
}

// "Error: " and text in a box owned by main_window, caption "Setup", stop
// icon. Returns when the box is closed; the caller decides what follows.
void show_error(const char* text);
