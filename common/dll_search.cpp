#include "common/dll_search.h"

#include <windows.h>

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryCall)(const char*);

// SetDefaultDllDirectories came with Windows 8 and with an update of Vista
// and 7, so both calls are looked up rather than imported: an import the
// system lacks would keep the program from starting at all. Without it,
// SetDllDirectoryA("") (Windows XP SP1 on) takes at least the current
// folder out of the search; the program's own folder stays in it there.
void restrict_dll_search() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  SetDefaultDllDirectoriesCall set_default = reinterpret_cast<SetDefaultDllDirectoriesCall>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryCall set_directory = reinterpret_cast<SetDllDirectoryCall>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (set_directory != nullptr) set_directory("");
}
