// Starting another program from the stub or the uninstaller.
#pragma once

#include <windows.h>

// Starts command_line (writable, as CreateProcessA may change it) with the
// caller's start-up information and the show command SW_SHOWDEFAULT, in a
// new console, inheriting no handles, with the caller's environment and
// current folder. The caller owns the handles in *process on success.
bool start_program(char* command_line, PROCESS_INFORMATION* process);
