#include "tools/lume/commands/verify.h"

#include <fmt/core.h>

#include "tools/lume/archive/payload_pass.h"
#include "tools/lume/commands/build_refusals.h"

namespace lume {

std::vector<std::string> verify_installer(const Installer& in, int code_page, Console& console,
                                          Behind* behind) {
  std::vector<std::string> problems;
  if (in.stub.empty()) problems.push_back(kUnknownStub);
  std::vector<std::string> refusals = build_refusals(in, code_page);
  problems.insert(problems.end(), refusals.begin(), refusals.end());
  if (std::optional<std::string> level = level_problem(in.manifest)) problems.push_back(*level);
  FileCutter cutter(in.directory(), in.files,
                    {nullptr, nullptr, [&](const PayloadFileEntry& file, uint32_t check) {
                       if (check != file.check)
                         problems.push_back(check_mismatch(file, check, code_page));
                     }});
  size_t used = 0;
  std::vector<std::string> shortfall =
      decode_payload(in, cutter, "verifying", code_page, console, &used);
  problems.insert(problems.end(), shortfall.begin(), shortfall.end());
  // Behind a damaged stream nothing says where it would have ended.
  if (!shortfall.empty()) return problems;
  Behind found = behind_stream(in, used);
  if (behind) *behind = found;
  if (found.size > 0 && !found.certificate_table)
    problems.push_back(fmt::format(
        "{} behind the end of the compressed stream; the installer never reads them",
        behind_text(found)));
  return problems;
}

}  // namespace lume
