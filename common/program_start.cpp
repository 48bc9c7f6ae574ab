#include "common/program_start.h"

#include <windows.h>

#include "common/dll_search.h"

// msvcrt.dll's own start-up service: splits the command line by the
// platform's rules into the argument vector it also keeps for __argv.
extern "C" int __getmainargs(int* argc, char*** argv, char*** env, int expand_wildcards,
                             int* startup_info);

#if defined(__i386__)
// The loader only promises 4-byte stack alignment on 32-bit Windows.
#define LUME_ENTRY_ATTRIBUTES __attribute__((force_align_arg_pointer, used))
#else
#define LUME_ENTRY_ATTRIBUTES __attribute__((used))
#endif

extern "C" LUME_ENTRY_ATTRIBUTES void lume_start(void) {
  restrict_dll_search();
  int argc = 0;
  char** argv = nullptr;
  char** env = nullptr;
  int startup_info = 0;
  __getmainargs(&argc, &argv, &env, 0, &startup_info);
  ExitProcess(UINT(program_main(argc, argv)));
}
