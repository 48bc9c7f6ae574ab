#include "common/system_paths.h"

#include <shlobj.h>

#include "common/bounded_text.h"

bool full_path(char* out, const char* path) {
  DWORD length = GetFullPathNameA(path, kPathCapacity, out, nullptr);
  if (length != 0 && length < kPathCapacity) return true;
  out[0] = 0;
  return false;
}

bool special_folder_path(HWND owner, int csidl, char* out) {
  out[0] = 0;
  ITEMIDLIST* folder = nullptr;
  if (SHGetSpecialFolderLocation(owner, csidl, &folder) != S_OK) return false;
  bool found = SHGetPathFromIDListA(folder, out) && out[0] != 0;
  // Freed by the shell's own allocator, from shell32 too: the uninstaller
  // imports nothing of the component libraries.
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator))) {
    allocator->Free(folder);
    allocator->Release();
  }
  if (!found) out[0] = 0;
  return found;
}
