// What `lume build` would have refused, found in an installer already built
// (by another tool, an older lume, or by hand): reported by `verify`.
#pragma once

#include <string>
#include <vector>

#include "tools/lume/archive/installer_reader.h"

namespace lume {

// One message per problem: a title the installer cannot register, a slot
// text holding a control character, a slot
// name that names a Windows device, payload names that differ only in
// letter case. Names a directory holding a device name never get this far:
// the installer, and so the reader, refuse them.
std::vector<std::string> build_refusals(const Installer& in, int code_page);

}  // namespace lume
