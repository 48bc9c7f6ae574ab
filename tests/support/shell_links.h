// Shortcut files read back through the shell's own link object, and the
// special folders they go into.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <optional>
#include <string>

namespace lume_test {

struct Link {
  std::string target, arguments, icon;
  int icon_index = -1;
};

// What a saved shortcut says, or nothing when it cannot be loaded.
inline std::optional<Link> read_link(const std::string& path) {
  std::optional<Link> result;
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(wide, STGM_READ))) {
    char text[1024] = {};
    Link got;
    link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
    got.target = text;
    text[0] = 0;
    link->GetArguments(text, sizeof text);
    got.arguments = text;
    text[0] = 0;
    link->GetIconLocation(text, sizeof text, &got.icon_index);
    got.icon = text;
    result = got;
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return result;
}

// A special folder's path (CSIDL_PROGRAMS, CSIDL_DESKTOP), created when it
// is missing: an uninstaller that emptied it also removed it.
inline std::string special_folder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path);
  return path;
}

}  // namespace lume_test
