// What `lume build` would have refused, found in an installer already built
// (by another tool, an older lume, or by hand): reported by `verify`.
#pragma once

#include <string>
#include <vector>

#include "tools/lume/archive/installer_reader.h"

namespace lume {

// One message per problem: a slot without its terminator, a slot text
// holding a control character, a direction control or an invisible
// character, a slot name that names a Windows device, a payload name with
// a direction control or an invisible character, payload names that are
// the same or differ only in letter case. A directory holding a device name
// never gets this far: the installer, and so the reader, refuse it.
std::vector<std::string> build_refusals(const Installer& in, int code_page);

}  // namespace lume
