// `lume verify`: decodes the whole payload, cuts it into the directory's
// files and checks each one.
#pragma once

#include <string>
#include <vector>

#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/console.h"

namespace lume {

// Returns what failed; empty when the installer is sound. A stub lume does
// not know fails it, as do bytes behind the stream unless they are a
// certificate table; behind, when given, is told what lies there once the
// stream has decoded intact.
std::vector<std::string> verify_installer(const Installer& installer, int code_page,
                                          Console& console, Behind* behind = nullptr);

}  // namespace lume
