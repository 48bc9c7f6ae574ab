// `lume list`: an installer's slots and file table, for people or machines.
#pragma once

#include <string>

#include "tools/lume/archive/installer_reader.h"

namespace lume {

// The slots and the file table, for people.
std::string list_text(const Installer& installer, int code_page);
// The same as one JSON object, for machines.
std::string list_json(const Installer& installer, int code_page);

}  // namespace lume
