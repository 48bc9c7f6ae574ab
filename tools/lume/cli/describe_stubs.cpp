// Run when lume is built: describes the stubs it carries as C++ source.
//   lume_describe_stubs OUT.cpp NAME=STUB...
// A stub that does not exist yet (its Windows tree not built) is left out.
// OUT is written only when it changes, so that lume is linked again only
// when a stub did.
#include <fmt/core.h>

#include <filesystem>
#include <string>

#include "tools/lume/base/atomic_file.h"
#include "tools/lume/base/error.h"
#include "tools/lume/host/host_system.h"
#include "tools/lume/stub/stub_identity.h"

namespace {

std::string entry(const lume::KnownStub& stub) {
  std::string digest;
  for (uint8_t byte : stub.digest) digest += fmt::format("0x{:02x}, ", byte);
  digest.resize(digest.size() - 2);
  return fmt::format("      {{\"{}\", {}, {}, {}, {},\n       {{{}}}}},\n", stub.name,
                     stub.image_size, stub.block_offset, stub.checksum_at,
                     stub.certificate_entry_at, digest);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fmt::print(stderr, "usage: lume_describe_stubs OUT.cpp NAME=STUB...\n");
    return 2;
  }
  try {
    std::string source =
        "// Made by lume_describe_stubs when lume was built: the stubs it carries.\n"
        "#include \"tools/lume/cli/carried_stubs.h\"\n\n"
        "namespace lume {\n\n"
        "std::span<const KnownStub> carried_stubs() {\n"
        "  static const KnownStub kCarried[] = {\n";
    int count = 0;
    for (int k = 2; k < argc; ++k) {
      const std::string argument = argv[k];
      const size_t equals = argument.find('=');
      const std::filesystem::path file = argument.substr(equals + 1);
      if (equals == std::string::npos || !std::filesystem::exists(file)) continue;
      source += entry(lume::describe_stub(lume::host::read_whole_file(file),
                                          argument.substr(0, equals)));
      ++count;
    }
    // An array cannot be empty: a lume built before its stubs knows none.
    if (count == 0) source += "      {},\n";
    source += fmt::format(
        "  }};\n  return std::span<const KnownStub>(kCarried, {});\n}}\n\n}}  // namespace lume\n",
        count);
    const std::filesystem::path out = argv[1];
    std::error_code ec;
    if (std::filesystem::exists(out, ec)) {
      std::vector<uint8_t> before = lume::host::read_whole_file(out);
      if (std::string(before.begin(), before.end()) == source) return 0;
    }
    lume::write_file_atomically(out, std::span(reinterpret_cast<const uint8_t*>(source.data()),
                                               source.size()));
  } catch (const std::exception& e) {
    fmt::print(stderr, "lume_describe_stubs: {}\n", e.what());
    return 1;
  }
  return 0;
}
