// Files and folders for Windows-side tests, through the 8-bit Win32 calls
// the product uses, so that paths mean the same to the test and the product.
// The robot's own (robot/files.h) are the tests' too.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "robot/files.h"

namespace lume_test {

using lume_robot::file_exists;
using lume_robot::folder_exists;
using lume_robot::make_folders;
using lume_robot::quoted;
using lume_robot::remove_tree;

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

inline bool copy_file(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

}  // namespace lume_test
