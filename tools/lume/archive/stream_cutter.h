// Cuts the decoded stream, which arrives in chunks that ignore file
// boundaries, into the directory's files, and checks each one as it closes.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "tools/lume/archive/directory_writer.h"

namespace lume {

class StreamCutter {
 public:
  struct Handlers {
    std::function<void(const PayloadFileEntry&)> open;
    std::function<void(std::span<const uint8_t>)> write;  // bytes of the open file
    // check: what the contents gave, to hold against the directory's.
    std::function<void(const PayloadFileEntry&, uint32_t check)> close;
  };

  StreamCutter(const std::vector<PayloadFileEntry>& files, Handlers handlers);

  // The decoder's sink.
  void take(std::span<const uint8_t> chunk);
  // After decoding: closes the file still open and the empty files behind
  // it. Files the stream never reached are neither opened nor closed.
  void finish();

  uint64_t produced() const { return produced_; }
  // Bytes delivered beyond the sum of the sizes.
  uint64_t excess() const { return excess_; }
  // Files opened and closed whole.
  size_t files_done() const { return next_; }

 private:
  void open_next();
  void close_current();

  const std::vector<PayloadFileEntry>& files_;
  Handlers handlers_;
  size_t next_ = 0;    // index of the next file to open
  bool open_ = false;  // files_[next_] is open
  uint64_t left_ = 0;  // bytes still due to the open file
  uint32_t check_ = 0;
  uint64_t produced_ = 0;
  uint64_t excess_ = 0;
};

}  // namespace lume
