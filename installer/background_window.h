// The installer's main window: maximised, painted in a gradient from cyan
// at the top to near black at the bottom, owner of the install sequence's
// boxes and dialogs. The sequence runs inside it, on its start message.
#pragma once

#include <windows.h>

#define LUME_WINDOW_CLASS "Lume Setup Window Class"

enum : UINT {
  WM_USER_START = WM_USER + 1,  // runs the install sequence; both parameters 0
};

// The name the installer was started by, for the install sequence.
extern const char* background_program_name;

LRESULT CALLBACK background_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Fills area row by row with 64 brushes from cyan (row 0) darkening
// towards the bottom: row y takes brush 63 * y / height.
void paint_background(HDC dc, const RECT* area);

// Registers the class and creates the window (main_window), queues the
// start message and shows the window maximised. False, with nothing shown,
// when the class or the window cannot be made. The brush is the class's
// background, to be deleted after the message loop.
bool open_background_window(HBRUSH background);
