#include "common/child_process.h"

bool start_program(char* command_line, PROCESS_INFORMATION* process) {
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  startup.dwFlags |= STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWDEFAULT;
  return CreateProcessA(nullptr, command_line, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        nullptr, &startup, process) != FALSE;
}
