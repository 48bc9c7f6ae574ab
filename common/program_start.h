// The entry point of the product executables.
//
// The linker starts each of them at lume_start, which first narrows the
// search for DLLs to the system folder (common/dll_search.h), takes the
// argument vector from msvcrt.dll, calls the program's program_main and
// ends the process with its result. There is no other start-up code:
// static state is constant-initialised, and nothing registers destructors.
#pragma once

int program_main(int argc, char** argv);
