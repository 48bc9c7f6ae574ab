#include "tools/lume/codec/encoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "tools/lume/base/error.h"
#include "tools/lume/codec/bit_writer.h"
#include "tools/lume/codec/block_writer.h"
#include "tools/lume/codec/levels.h"
#include "tools/lume/codec/segment_encoder.h"

namespace lume::codec {
namespace {

// The decoder's window starts as spaces; a run of them in front of the
// input lets the match finders reach before the first byte. Position 0 is
// no position to the binary trees, hence one more.
constexpr uint32_t kSpacePrefix = kMaxMatch + 1;

std::vector<uint8_t> with_space_prefix(std::span<const uint8_t> data) {
  std::vector<uint8_t> buffer(kSpacePrefix + data.size(), kWindowFill);
  std::copy(data.begin(), data.end(), buffer.begin() + kSpacePrefix);
  return buffer;
}

// Inputs this long are cut in two halves encoded side by side; the second
// half's match finder first takes in the window before it. The cut depends
// on the input alone, so the stream does not depend on the machine.
constexpr size_t kTwoSegmentsFrom = size_t(8) << 20;

std::vector<uint32_t> segment_starts(size_t size) {
  if (size < kTwoSegmentsFrom) return {kSpacePrefix};
  return {kSpacePrefix, uint32_t(kSpacePrefix + size / 2)};
}

// Waits for the workers, passing their progress on from this thread.
class WorkerProgress {
 public:
  explicit WorkerProgress(size_t workers) : done_(workers) {}

  std::atomic<uint64_t>& counter(size_t worker) { return done_[worker]; }

  void finish_one() {
    std::lock_guard lock(mutex_);
    ++finished_;
    changed_.notify_all();
  }

  // Calls progress outside the lock, so a slow callback holds no worker up.
  void report_until_done(const EncodeOptions& options) {
    for (bool all_done = false; !all_done;) {
      {
        std::unique_lock lock(mutex_);
        all_done = changed_.wait_for(lock, std::chrono::milliseconds(50),
                                     [&] { return finished_ == done_.size(); });
      }
      report(options);
    }
  }

 private:
  void report(const EncodeOptions& options) {
    uint64_t sum = 0;
    for (const auto& d : done_) sum += d.load(std::memory_order_relaxed);
    if (sum > reported_ && options.progress) options.progress(reported_ = sum);
  }

  std::vector<std::atomic<uint64_t>> done_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t finished_ = 0;
  uint64_t reported_ = 0;
};

}  // namespace

std::vector<uint8_t> encode(std::span<const uint8_t> data, const EncodeOptions& options) {
  if (data.size() > kMaxInputSize)
    throw Error(std::to_string(data.size()) + " bytes exceed the compressor's limit of " +
                std::to_string(kMaxInputSize) + " bytes");
  const LevelSettings& settings = level_settings(options.level);
  std::vector<uint8_t> buffer = with_space_prefix(data);
  std::vector<uint32_t> starts = segment_starts(data.size());
  starts.push_back(uint32_t(buffer.size()));
  size_t segments = starts.size() - 1;

  std::vector<BitWriter> parts(segments);
  std::vector<std::exception_ptr> failures(segments);
  WorkerProgress progress(segments);
  std::vector<std::thread> workers;
  for (size_t s = 0; s < segments; ++s) {
    workers.emplace_back([&, s] {
      try {
        parts[s] = encode_segment(buffer, starts[s], starts[s + 1], settings, progress.counter(s));
      } catch (...) {
        failures[s] = std::current_exception();
      }
      progress.finish_one();
    });
  }
  progress.report_until_done(options);
  for (std::thread& worker : workers) worker.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);

  BitWriter out = std::move(parts[0]);
  for (size_t s = 1; s < segments; ++s) out.append(parts[s]);
  write_end(out);
  return std::move(out).finish();
}

}  // namespace lume::codec
