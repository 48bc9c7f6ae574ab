#include "tools/lume/base/console.h"

#include <fmt/core.h>

#include "tools/lume/base/text.h"

namespace lume {

namespace {

constexpr double kBarRedrawSeconds = 0.1;
constexpr double kLineSeconds = 1.0;
constexpr int kBarWidth = 24;

std::string duration(double seconds) {
  auto whole = uint64_t(seconds + 0.5);
  if (whole >= 3600)
    return fmt::format("{}:{:02}:{:02}", whole / 3600, whole / 60 % 60, whole % 60);
  return fmt::format("{}:{:02}", whole / 60, whole % 60);
}

}  // namespace

std::string byte_count(uint64_t bytes) {
  if (bytes < 1024) return fmt::format("{} bytes", bytes);
  if (bytes < 1024 * 1024) return fmt::format("{:.1f} KiB", bytes / 1024.0);
  if (bytes < 1024ull * 1024 * 1024) return fmt::format("{:.1f} MiB", bytes / 1048576.0);
  return fmt::format("{:.2f} GiB", bytes / 1073741824.0);
}

Progress::Progress(ProgressStyle style, std::string action, uint64_t total, std::FILE* out)
    : style_(style),
      action_(std::move(action)),
      total_(total),
      out_(out),
      start_(std::chrono::steady_clock::now()) {}

// Work that ended early (an error on its way to main) leaves no closing
// line that would read as success; only the bar is cleared away.
Progress::~Progress() {
  if (!finished_ && style_ == ProgressStyle::bar && last_shown_ >= 0) {
    fmt::print(out_, "\r\x1b[K");
    std::fflush(out_);
  }
}

double Progress::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string Progress::figures(uint64_t done, bool final) const {
  double elapsed = seconds();
  double rate = elapsed > 0 ? done / elapsed : 0;
  if (final) {
    return fmt::format("{} in {:.1f} s ({}/s)", byte_count(done), elapsed,
                       byte_count(uint64_t(rate)));
  }
  std::string left = rate > 0 && done > 0 ? duration((total_ - done) / rate) + " left" : "";
  return fmt::format("{} of {}  {}/s  {}", byte_count(done), byte_count(total_),
                     byte_count(uint64_t(rate)), left);
}

void Progress::update(uint64_t done) {
  done_ = std::min(done, total_);
  if (style_ == ProgressStyle::none || finished_) return;
  double now = seconds();
  if (style_ == ProgressStyle::bar) {
    if (now - last_shown_ < kBarRedrawSeconds) return;
    last_shown_ = now;
    int filled = total_ ? int(done_ * kBarWidth / total_) : kBarWidth;
    fmt::print(out_, "\r{} [{}{}] {}\x1b[K", action_, std::string(filled, '#'),
               std::string(kBarWidth - filled, '-'), figures(done_, false));
    std::fflush(out_);
    return;
  }
  // Plain lines: one per tenth of the work, and no more than one a second.
  int tenth = total_ ? int(done_ * 10 / total_) : 10;
  if (tenth <= last_tenth_ || tenth >= 10 || now - last_shown_ < kLineSeconds) return;
  last_tenth_ = tenth;
  last_shown_ = now;
  fmt::print(out_, "{}: {}%  {}\n", action_, tenth * 10, figures(done_, false));
  std::fflush(out_);
}

void Progress::finish() {
  if (finished_) return;
  finished_ = true;
  if (style_ == ProgressStyle::none) return;
  if (style_ == ProgressStyle::bar) fmt::print(out_, "\r\x1b[K");
  fmt::print(out_, "{}: {}\n", action_, figures(done_, true));
  std::fflush(out_);
}

Console::Console(ProgressStyle style, std::FILE* err, std::FILE* out)
    : style_(style), err_(err), out_(out) {}

void Console::warn(const std::string& message) {
  warnings_.push_back(message);
  fmt::print(err_, "lume: warning: {}\n", escaped_text(message, LineFeeds::keep));
}

void Console::say(const std::string& message) {
  if (style_ != ProgressStyle::none) fmt::print(out_, "{}\n", message);
}

}  // namespace lume
