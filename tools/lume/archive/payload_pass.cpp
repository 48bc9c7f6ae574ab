#include "tools/lume/archive/payload_pass.h"

#include <fmt/core.h>

#include "tools/lume/codec/decode.h"
#include "tools/lume/host/shown_text.h"

namespace lume {

std::vector<std::string> decode_payload(const Installer& in, FileCutter& cutter,
                                        const char* action, int code_page, Console& console,
                                        size_t* stream_used) {
  Progress progress(console.progress_style(), action, in.header.total_size);
  codec::DecodedStream decoded = codec::decode_measured(
      in.stream(), in.header.total_size, [&](std::span<const uint8_t> chunk) {
        cutter.take(chunk);
        progress.update(cutter.produced());
      });
  bool stream_ok = decoded.status == codec::StreamStatus::intact;
  if (stream_used) *stream_used = stream_ok ? decoded.used : in.stream().size();
  cutter.finish();
  progress.finish();

  std::vector<std::string> problems;
  if (!stream_ok)
    problems.push_back(
        fmt::format("the compressed stream is damaged after {} decoded bytes", cutter.produced()));
  if (cutter.produced() < in.header.total_size)
    problems.push_back(fmt::format("the stream gives {} of the {} bytes the header names",
                                   cutter.produced(), in.header.total_size));
  if (cutter.files_done() < in.files.size())
    problems.push_back(fmt::format("{} of {} files are missing or cut short, from '{}' on",
                                   in.files.size() - cutter.files_done(), in.files.size(),
                                   shown_text(in.files[cutter.files_done()].name, code_page)));
  return problems;
}

std::string check_mismatch(const PayloadFileEntry& file, uint32_t check, int code_page) {
  return fmt::format("{}: check value {:08X}, the directory holds {:08X}",
                     shown_text(file.name, code_page), check, file.check);
}

std::optional<Behind> measured_behind(const Installer& in) {
  codec::DecodedStream decoded =
      codec::decode_measured(in.stream(), in.header.total_size, [](std::span<const uint8_t>) {});
  if (decoded.status != codec::StreamStatus::intact) return std::nullopt;
  return behind_stream(in, decoded.used);
}

std::string behind_text(const Behind& behind) {
  if (behind.size == 0) return "nothing";
  if (behind.certificate_table)
    return fmt::format("a certificate table (not validated) of {} bytes at offset {}",
                       behind.size, behind.offset);
  return fmt::format("{} stray bytes at offset {}", behind.size, behind.offset);
}

}  // namespace lume
