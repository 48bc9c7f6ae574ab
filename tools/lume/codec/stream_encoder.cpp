#include "tools/lume/codec/stream_encoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// How often a waiting caller passes progress on.
constexpr auto kProgressPause = std::chrono::milliseconds(100);

// One segment on its way to a thread: the window before it, then its input.
struct Segment {
  uint64_t index = 0;
  std::vector<uint8_t> buffer;
  uint32_t begin = 0;  // where the segment's own input starts in buffer
};

struct Encoded {
  BitWriter bits;
  std::exception_ptr failure;
};

}  // namespace

int job_count(int jobs) {
  if (jobs > 0) return jobs;
  return int(std::max(1u, std::thread::hardware_concurrency()));
}

struct StreamEncoder::Pool {
  Pool(const EncodeOptions& options, StreamSink out)
      : settings(level_settings(options.level)),
        segment_size(std::max<uint32_t>(options.segment_size, 1)),
        jobs(job_count(options.jobs)),
        progress(options.progress),
        sink(std::move(out)),
        filling(kSpacePrefix, kWindowFill),
        filling_begin(kSpacePrefix) {
    if (segment_size > kMaxInputSize - kWindowSize)
      throw Error("a segment of " + std::to_string(segment_size) + " bytes is too long");
    for (int k = 0; k < jobs; ++k) threads.emplace_back([this] { work(); });
  }

  ~Pool() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    stop = true;
    work_ready.notify_all();
    for (std::thread& thread : threads) thread.join();
  }

  void work() {
    for (;;) {
      Segment segment;
      {
        std::unique_lock lock(mutex);
        work_ready.wait(lock, [&] { return stopping || !queue.empty(); });
        if (stopping) return;
        segment = std::move(queue.front());
        queue.pop_front();
      }
      work_done.notify_all();  // the queue has room again
      Encoded result;
      try {
        result.bits = encode_segment(segment.buffer, segment.begin,
                                     uint32_t(segment.buffer.size()), settings, encoded, stop);
      } catch (...) {
        result.failure = std::current_exception();
      }
      std::vector<uint8_t>().swap(segment.buffer);
      {
        std::lock_guard lock(mutex);
        results[segment.index] = std::move(result);
      }
      work_done.notify_all();
    }
  }

  void write(std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxInputSize - input)
      throw Error("the input passes the stream's limit of " + std::to_string(kMaxInputSize) +
                  " bytes");
    while (!bytes.empty()) {
      size_t full = size_t(filling_begin) + segment_size;
      size_t take = std::min(bytes.size(), full - filling.size());
      // Whole at once: pages not yet written cost no memory, and the
      // segment is never copied to grow.
      if (filling.capacity() < full) filling.reserve(full);
      filling.insert(filling.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(take));
      input += take;
      bytes = bytes.subspan(take);
      if (filling.size() == full) submit();
    }
    report();
  }

  void finish() {
    if (filling.size() > filling_begin) submit();
    wait_until([&] { return drained == submitted; });
    write_end(joined);
    sink(std::move(joined).finish());
    report();
  }

  // Hands the segment gathered to the threads and starts the next one with
  // the window before it. Waits while the threads are busy and one segment
  // already waits for them, or while too much of the stream waits for an
  // earlier segment.
  void submit() {
    Segment segment{submitted, std::move(filling), filling_begin};
    size_t keep = std::min<size_t>(kWindowSize, segment.buffer.size());
    filling.assign(segment.buffer.end() - std::ptrdiff_t(keep), segment.buffer.end());
    filling_begin = uint32_t(keep);
    wait_until([&] { return queue.empty() && submitted - drained < 2 * uint64_t(jobs); });
    {
      std::lock_guard lock(mutex);
      queue.push_back(std::move(segment));
    }
    work_ready.notify_one();
    ++submitted;
  }

  // Passes every segment's stream that is next in order on to the sink.
  void drain() {
    for (;;) {
      Encoded result;
      {
        std::lock_guard lock(mutex);
        auto next = results.find(drained);
        if (next == results.end()) return;
        result = std::move(next->second);
        results.erase(next);
      }
      if (result.failure) std::rethrow_exception(result.failure);
      joined.append(result.bits);
      ++drained;
      std::vector<uint8_t> whole = joined.take_bytes();
      sink(whole);
    }
  }

  // ready is looked at under the lock.
  template <class Ready>
  void wait_until(Ready ready) {
    for (;;) {
      drain();
      {
        std::unique_lock lock(mutex);
        if (ready()) return;
        work_done.wait_for(lock, kProgressPause,
                           [&] { return ready() || results.contains(drained); });
      }
      report();
    }
  }

  void report() {
    uint64_t now = encoded.load();
    if (progress && now > reported) progress(reported = now);
  }

  const LevelSettings& settings;
  const uint32_t segment_size;
  const int jobs;
  const std::function<void(uint64_t)> progress;
  const StreamSink sink;

  // The caller's side.
  std::vector<uint8_t> filling;  // the segment being gathered, behind its window
  uint32_t filling_begin;
  uint64_t input = 0;
  uint64_t submitted = 0;  // segments handed to the threads
  uint64_t drained = 0;    // segments whose stream went to the sink
  BitWriter joined;        // the stream's last bits that do not fill a byte
  uint64_t reported = 0;

  // Shared with the threads.
  std::mutex mutex;
  std::condition_variable work_ready;  // the threads wait on it
  std::condition_variable work_done;   // the caller waits on it
  std::deque<Segment> queue;
  std::map<uint64_t, Encoded> results;
  bool stopping = false;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> encoded{0};
  std::vector<std::thread> threads;  // last: started when all else is ready
};

StreamEncoder::StreamEncoder(const EncodeOptions& options, StreamSink sink)
    : pool_(std::make_unique<Pool>(options, std::move(sink))) {}

StreamEncoder::~StreamEncoder() = default;

void StreamEncoder::write(std::span<const uint8_t> bytes) { pool_->write(bytes); }

void StreamEncoder::finish() { pool_->finish(); }

uint64_t StreamEncoder::input_size() const { return pool_->input; }

}  // namespace lume::codec
