// The stubs this lume carries, described when it was built
// (cli/describe_stubs.cpp writes their source): the ones it knows
// installers by.
#pragma once

#include <span>

#include "tools/lume/stub/stub_identity.h"

namespace lume {

std::span<const KnownStub> carried_stubs();

}  // namespace lume
