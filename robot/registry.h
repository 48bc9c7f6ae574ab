// Reading the machine's registry: what the installers under the robot
// registered.
#pragma once

#include <windows.h>

#include <string>

#include "uninstaller/uninstall_data.h"

namespace lume_robot {

// The list of installed programs, that holds each product's registration
// (LUME_UNINSTALL_KEY_PREFIX and the title): the prefix without its final
// backslash.
inline std::string installed_programs_key() {
  std::string key = LUME_UNINSTALL_KEY_PREFIX;
  key.pop_back();
  return key;
}

inline bool key_exists(const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

// A REG_SZ value below HKEY_LOCAL_MACHINE, or "" when there is none.
inline std::string registry_text(const std::string& key, const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}

}  // namespace lume_robot
