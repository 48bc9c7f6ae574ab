// The progress dialog: the name of the file being written and a Cancel
// button, on a thread of its own so that it answers while the main thread
// decodes. The two threads meet only through status_dialog, pause_flag and
// cancel_flag (installer/shared_state.h) and two messages the main thread
// sends to the dialog.
#pragma once

#include <windows.h>

// The dialog thread: runs "StatusDialog" modally with owner (null: none) as
// its owner window; returns 0 once the dialog has ended.
DWORD WINAPI status_thread(LPVOID owner);

// The dialog's procedure. Sets status_dialog at every message; Cancel and
// Escape ask "Cancel Installation?" and pause the extraction meanwhile.
INT_PTR CALLBACK status_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Main thread: starts status_thread (no owner) and waits, in 100 ms steps,
// until the dialog exists. False when the thread could not be started or
// the dialog could not be made; the extraction then goes on without it.
bool start_status_dialog();

// Main thread: shows name as the file being written. Returns once the
// dialog thread has taken the text, also while the cancel question is open;
// does nothing once the dialog has gone.
void show_status_name(const char* name);

// Main thread: waits while the cancel question is open (a Yes given then
// still cancels), then ends the dialog with result 0. Harmless after the
// dialog has ended itself, and before it was ever started.
void end_status_dialog();
