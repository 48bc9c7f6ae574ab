// The installer's cut of the decoded stream into the directory's files
// (payload/stream_cutter.h), with the tool's parsed entries and handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "payload/stream_cutter.h"
#include "tools/lume/archive/directory_writer.h"

namespace lume {

class FileCutter {
 public:
  struct Handlers {
    std::function<void(const PayloadFileEntry&)> open;
    std::function<void(std::span<const uint8_t>)> write;  // bytes of the open file
    // check: what the contents gave, to hold against the directory's.
    std::function<void(const PayloadFileEntry&, uint32_t check)> close;
  };

  // directory: the raw directory that files was read from, in the same order.
  FileCutter(std::span<const uint8_t> directory, const std::vector<PayloadFileEntry>& files,
               Handlers handlers);
  FileCutter(const FileCutter&) = delete;
  FileCutter& operator=(const FileCutter&) = delete;

  // The decoder's sink.
  void take(std::span<const uint8_t> chunk);
  // After decoding: when the stream gave every byte, closes the last file
  // and the empty files behind it. A file the stream did not finish stays
  // unclosed, and files it never reached are neither opened nor closed.
  void finish();

  uint64_t produced() const { return produced_; }
  // Bytes delivered beyond the sum of the sizes.
  uint64_t excess() const { return excess_; }
  // Files opened and closed whole.
  size_t files_done() const { return closed_; }

 private:
  static bool open_call(void* self, const PayloadEntry* entry);
  static uint32_t write_call(void* self, const unsigned char* bytes, uint32_t count);
  static void close_call(void* self, const PayloadEntry* entry, uint32_t check);

  const std::vector<PayloadFileEntry>& files_;
  Handlers handlers_;
  ::StreamCutter cut_{};
  CutterCalls calls_;
  size_t opened_ = 0;  // files opened so far; the open one is files_[opened_ - 1]
  size_t closed_ = 0;
  uint64_t total_size_ = 0;  // the sum of the sizes
  uint64_t produced_ = 0;
  uint64_t excess_ = 0;
};

}  // namespace lume
