#include "tools/lume/archive/file_cutter.h"

#include "payload/check_value.h"

namespace lume {

FileCutter::FileCutter(std::span<const uint8_t> directory,
                           const std::vector<PayloadFileEntry>& files, Handlers handlers)
    : files_(files),
      handlers_(std::move(handlers)),
      calls_{&FileCutter::open_call, &FileCutter::write_call, &FileCutter::close_call, this} {
  static const bool crc_table_built = (build_crc_table(), true);  // once, for every cutter
  (void)crc_table_built;
  for (const PayloadFileEntry& file : files) total_size_ += file.size;
  start_cutting(&cut_, directory.data(), uint32_t(directory.size()), uint32_t(files.size()));
}

bool FileCutter::open_call(void* self, const PayloadEntry*) {
  auto* cutter = static_cast<FileCutter*>(self);
  const PayloadFileEntry& file = cutter->files_[cutter->opened_++];
  if (cutter->handlers_.open) cutter->handlers_.open(file);
  return true;
}

uint32_t FileCutter::write_call(void* self, const unsigned char* bytes, uint32_t count) {
  auto* cutter = static_cast<FileCutter*>(self);
  if (cutter->handlers_.write) cutter->handlers_.write({bytes, count});
  return count;
}

void FileCutter::close_call(void* self, const PayloadEntry*, uint32_t check) {
  auto* cutter = static_cast<FileCutter*>(self);
  const PayloadFileEntry& file = cutter->files_[cutter->opened_ - 1];
  ++cutter->closed_;
  if (cutter->handlers_.close) cutter->handlers_.close(file, check);
}

void FileCutter::take(std::span<const uint8_t> chunk) {
  produced_ += chunk.size();
  uint32_t consumed = cut_stream(&cut_, &calls_, chunk.data(), uint32_t(chunk.size()));
  excess_ += chunk.size() - consumed;
}

void FileCutter::finish() {
  if (!cut_file_complete(&cut_)) return;
  if (produced_ - excess_ == total_size_)
    cut_empty_entries(&cut_, &calls_);
  else
    close_cut_file(&cut_, &calls_);
}

}  // namespace lume
