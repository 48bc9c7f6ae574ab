// Preloaded into lume by a test of a race: just before the process creates
// its Nth file (through openat or fopen, as lume does), this swaps a folder
// for a symbolic link to another place, as someone racing the tool would,
// but at a point the test names.
//   LUME_SWAP_FOLDER  the folder, moved aside to FOLDER.real
//   LUME_SWAP_TARGET  where the link put in its place leads
//   LUME_SWAP_AT      which creation it comes before (1: the first)
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

int created = 0;

void before_creating() {
  const char* folder = getenv("LUME_SWAP_FOLDER");
  const char* target = getenv("LUME_SWAP_TARGET");
  const char* at = getenv("LUME_SWAP_AT");
  if (folder == nullptr || target == nullptr || at == nullptr || ++created != atoi(at)) return;
  if (rename(folder, (std::string(folder) + ".real").c_str()) != 0 || symlink(target, folder) != 0)
    perror("folder_swap_hook");
}

template <class Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

mode_t mode_of(int flags, va_list arguments) {
  return (flags & O_CREAT) != 0 ? mode_t(va_arg(arguments, int)) : 0;
}

}  // namespace

extern "C" {

int openat(int folder, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = mode_of(flags, arguments);
  va_end(arguments);
  if ((flags & O_CREAT) != 0) before_creating();
  return next<int (*)(int, const char*, int, ...)>("openat")(folder, path, flags, mode);
}

FILE* fopen(const char* path, const char* mode) {
  if (strpbrk(mode, "wa") != nullptr) before_creating();
  return next<FILE* (*)(const char*, const char*)>("fopen")(path, mode);
}

}  // extern "C"
