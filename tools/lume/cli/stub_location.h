// Where `lume build` finds the stubs when no --stub is given:
//   <folder of lume>/stubs/<arch>/lumestub.exe                (build tree)
//   <folder of lume>/../share/lume/stubs/<arch>/lumestub.exe  (installed)
// with <arch> "x86" (PE32, the product) or "x64" (PE32+, for tests under wine64).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lume {

enum class Arch { x86, x64 };

const char* arch_name(Arch arch);

// The places looked at, in order, for a tool at executable.
std::vector<std::filesystem::path> stub_candidates(const std::filesystem::path& executable,
                                                   Arch arch);

// The first candidate that exists for the running tool; throws lume::Error
// listing the places looked at.
std::filesystem::path find_stub(Arch arch);

// The rule above, for `lume help`.
std::string stub_location_rule();

}  // namespace lume
