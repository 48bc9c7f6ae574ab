// Files and folders as the robot and the programs built on it see them,
// through the 8-bit Win32 calls the product uses, so that paths mean the
// same to them and to the product.
#pragma once

#include <windows.h>

#include <string>

namespace lume_robot {

inline bool file_exists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool folder_exists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates every missing folder along path (which names a folder).
inline void make_folders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
}

// Removes a folder and everything in it. Nothing shorter than a drive and
// one character: an empty path would name the drive's root.
inline void remove_tree(const std::string& path) {
  if (path.size() < 4) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        remove_tree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

// text in double quotes, as one argument of a command line.
inline std::string quoted(const std::string& text) {
  std::string out(1, '"');
  out.append(text);
  out.push_back('"');
  return out;
}

}  // namespace lume_robot
