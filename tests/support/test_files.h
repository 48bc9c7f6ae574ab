// Files and folders for Windows-side tests, through the 8-bit Win32 calls
// the product uses, so that paths mean the same to the test and the product.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lume_test {

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

inline bool write_file(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

inline bool write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  return write_file(path, std::string(bytes.begin(), bytes.end()));
}

// The whole file, or nothing (an empty string) when it cannot be read.
inline std::string read_file(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
  std::fclose(f);
  return bytes;
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

// A fresh folder below the temporary folder, named after the test; its
// name holds blanks, as installation folders often do. Ends in '\\'.
inline std::string fresh_test_folder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "lume test " + name + " " +
                       std::to_string(GetCurrentProcessId());
  remove_tree(folder);
  make_folders(folder);
  return folder + "\\";
}

// A build product's path as CMake wrote it (with forward slashes) in the
// form Windows programs expect.
inline std::string windows_path(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.size() > 1 && path[1] != ':') path.insert(0, "Z:");
  return path;
}

// text in double quotes, as one argument of a command line.
inline std::string quoted(const std::string& text) {
  std::string out(1, '"');
  out.append(text);
  out.push_back('"');
  return out;
}

inline bool copy_file(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

}  // namespace lume_test
