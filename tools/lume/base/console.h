// What the tool tells its user while it works: warnings, summaries and the
// progress of long work. The command line picks the style: a progress bar on
// standard error when that is a terminal, plain lines when it is not,
// nothing with --quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace lume {

enum class ProgressStyle {
  none,   // --quiet: no progress and no summary
  lines,  // one line per tenth of the work
  bar,    // one line redrawn in place
};

class Progress {
 public:
  Progress(ProgressStyle style, std::string action, uint64_t total, std::FILE* out = stderr);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void update(uint64_t done);
  // The closing line, with the time taken and the rate.
  void finish();

 private:
  double seconds() const;
  std::string figures(uint64_t done, bool final) const;

  ProgressStyle style_;
  std::string action_;
  uint64_t total_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_;
  double last_shown_ = -1;
  int last_tenth_ = 0;
  uint64_t done_ = 0;
  bool finished_ = false;
};

class Console {
 public:
  explicit Console(ProgressStyle style, std::FILE* err = stderr, std::FILE* out = stdout);

  // Shown even with --quiet, escaped (escaped_text, line feeds kept); kept
  // for whoever asks as given.
  void warn(const std::string& message);
  // A result line on standard output; not with --quiet.
  void say(const std::string& message);
  ProgressStyle progress_style() const { return style_; }

  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  ProgressStyle style_;
  std::FILE* err_;
  std::FILE* out_;
  std::vector<std::string> warnings_;
};

// "12.3 MiB", "512 bytes".
std::string byte_count(uint64_t bytes);

}  // namespace lume
