#include "tools/lume/archive/stream_cutter.h"

#include "payload/check_value.h"

namespace lume {

StreamCutter::StreamCutter(const std::vector<PayloadFileEntry>& files, Handlers handlers)
    : files_(files), handlers_(std::move(handlers)) {
  build_crc_table();
}

void StreamCutter::open_next() {
  open_ = true;
  left_ = files_[next_].size;
  check_ = kCheckPreset;
  if (handlers_.open) handlers_.open(files_[next_]);
}

void StreamCutter::close_current() {
  const PayloadFileEntry& file = files_[next_];
  open_ = false;
  ++next_;
  if (handlers_.close) handlers_.close(file, check_);
}

void StreamCutter::take(std::span<const uint8_t> chunk) {
  produced_ += chunk.size();
  while (!chunk.empty()) {
    if (!open_) {
      if (next_ == files_.size()) {
        excess_ += chunk.size();
        return;
      }
      open_next();
    }
    size_t part = size_t(std::min<uint64_t>(left_, chunk.size()));
    if (part > 0) {
      check_ = update_check(check_, chunk.data(), uint32_t(part));
      if (handlers_.write) handlers_.write(chunk.first(part));
      chunk = chunk.subspan(part);
      left_ -= part;
    }
    if (left_ == 0) close_current();
  }
}

void StreamCutter::finish() {
  if (open_ && left_ == 0) close_current();
  while (!open_ && next_ < files_.size() && files_[next_].size == 0) {
    open_next();
    close_current();
  }
}

}  // namespace lume
