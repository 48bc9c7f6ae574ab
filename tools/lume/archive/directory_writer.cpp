#include "tools/lume/archive/directory_writer.h"

#include <fmt/core.h>

#include "payload/archive_format.h"
#include "payload/directory_rules.h"
#include "tools/lume/cli/error.h"
#include "tools/lume/project/payload_names.h"

namespace lume {

namespace {

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}

void put_time(std::vector<uint8_t>& out, uint64_t ticks) {
  put_u32(out, uint32_t(ticks));
  put_u32(out, uint32_t(ticks >> 32));
}

}  // namespace

uint64_t directory_size_of(const std::vector<std::string>& names) {
  uint64_t size = 0;
  for (const std::string& name : names) size += kEntryNameOffset + name.size();
  return size;
}

std::vector<uint8_t> header_and_directory(const std::vector<PayloadFileEntry>& entries) {
  std::vector<uint8_t> directory;
  uint64_t total = 0;
  for (const PayloadFileEntry& e : entries) {
    if (e.name.size() > kMaxNameLength)
      throw Error(fmt::format("{}: name longer than {} bytes", e.name, unsigned(kMaxNameLength)));
    put_u32(directory, e.check);
    put_u32(directory, e.size);
    put_time(directory, e.times.creation);
    put_time(directory, e.times.last_access);
    put_time(directory, e.times.last_write);
    directory.push_back(uint8_t(e.name.size()));
    directory.insert(directory.end(), e.name.begin(), e.name.end());
    total += e.size;
  }
  if (total > UINT32_MAX)
    throw Error(
        fmt::format("the files add up to {} bytes; an installer holds less than 4 GiB", total));
  // The installer's own test, so that nothing it would refuse leaves here.
  DirectoryProblem problem =
      check_directory(directory.data(), uint32_t(directory.size()), uint32_t(entries.size()),
                      uint32_t(total), kAssumedFolderLength);
  if (problem != directory_ok)
    throw Error(
        fmt::format("the payload directory would be refused: {}", directory_problem_text(problem)));

  std::vector<uint8_t> out;
  out.reserve(kPayloadHeaderSize + directory.size());
  put_u32(out, uint32_t(entries.size()));
  put_u32(out, uint32_t(total));
  put_u32(out, uint32_t(directory.size()));
  out.insert(out.end(), directory.begin(), directory.end());
  return out;
}

}  // namespace lume
