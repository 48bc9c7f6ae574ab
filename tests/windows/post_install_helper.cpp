// A post-install program for the tests' installers. It appends to the file
// named by LUME_POST_INSTALL_LOG (outside the installation, so that the
// uninstaller has nothing of it to remove) its command line and current
// folder, shows a box, and once the box is answered and a moment later,
// "ended": an installer that waits for it shows its completion box only
// after that line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

void note(const char* log, const char* label, const char* text) {
  std::FILE* f = std::fopen(log, "ab");
  if (f == nullptr) return;
  std::fprintf(f, "%s%s\n", label, text);
  std::fclose(f);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* log = std::getenv("LUME_POST_INSTALL_LOG");
  if (log == nullptr) return 2;
  note(log, "command ", GetCommandLineA());
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof folder, folder);
  note(log, "folder ", folder);
  MessageBoxA(nullptr, "The post-install program runs.", "Post-install program", MB_OK);
  Sleep(500);
  note(log, "ended", "");
  return 0;
}
