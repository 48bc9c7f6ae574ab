#include "tools/lume/cli/stub_location.h"

#include <fmt/core.h>

#include "tools/lume/base/error.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace fs = std::filesystem;

namespace {
constexpr const char* kStubName = "lumestub.exe";
}

const char* arch_name(Arch arch) { return arch == Arch::x86 ? "x86" : "x64"; }

std::vector<fs::path> stub_candidates(const fs::path& executable, Arch arch) {
  fs::path folder = executable.parent_path();
  return {folder / "stubs" / arch_name(arch) / kStubName,
          (folder / ".." / "share" / "lume" / "stubs" / arch_name(arch) / kStubName)
              .lexically_normal()};
}

fs::path find_stub(Arch arch) {
  fs::path self = host::own_executable();
  if (self.empty())
    throw Error(
        fmt::format("cannot tell where lume itself lies, so its {} stub is not found; "
                    "give one with --stub PATH",
                    arch_name(arch)));
  std::vector<fs::path> candidates = stub_candidates(self, arch);
  std::string looked;
  for (const fs::path& candidate : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return candidate;
    looked += fmt::format("\n    {}", candidate.string());
  }
  throw Error(fmt::format("no {} stub found; looked at:{}\ngive one with --stub PATH",
                          arch_name(arch), looked));
}

std::string stub_location_rule() {
  return "Stubs: without --stub, `lume build` takes <arch>/lumestub.exe from the folder\n"
         "'stubs' beside the lume executable (the build tree), else from\n"
         "'../share/lume/stubs' next to it (an installed lume); <arch> is x86 (PE32,\n"
         "the default) or x64 (PE32+).\n";
}

}  // namespace lume
