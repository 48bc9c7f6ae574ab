// The codec benchmark: every Lume level beside the usual command-line
// compressors, on the corpora named on the command line. Prints one
// Markdown table per corpus: compressed size, ratio, and encoding and
// decoding speed in MB/s (10^6 bytes of uncompressed data per second).
// Each decoding runs --decode-runs times (3 by default) and the fastest
// counts: on a machine that others share, the fastest run is the one they
// disturbed least. --lume-only leaves the other compressors out.
//
//   codec_bench [--levels 1,2,3] [--decode-runs N] [--lume-only] CORPUS...
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/lume/codec/decode.h"
#include "tools/lume/codec/encoder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Row {
  std::string name;
  uint64_t compressed;
  double encode_seconds, decode_seconds;
};

std::vector<uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path.string() + ": cannot open");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs argv with stdin and stdout redirected to files; returns the seconds
// it took. Throws when it cannot start or fails.
double run_timed(const std::vector<std::string>& argv, const fs::path& in, const fs::path& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  Clock::time_point start = Clock::now();
  pid_t pid;
  int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error(argv[0] + ": cannot start: " + std::strerror(failed));
  int status = 0;
  waitpid(pid, &status, 0);
  double seconds = seconds_since(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error(argv[0] + " failed");
  return seconds;
}

int decode_runs = 3;
bool lume_only = false;

Row measure_tool(const std::string& name, const std::vector<std::string>& encode_argv,
                 const std::vector<std::string>& decode_argv, const fs::path& corpus,
                 const fs::path& scratch) {
  fs::path packed = scratch / "packed", unpacked = scratch / "unpacked";
  Row row{name, 0, run_timed(encode_argv, corpus, packed), 0};
  row.compressed = fs::file_size(packed);
  for (int run = 0; run < decode_runs; ++run) {
    double seconds = run_timed(decode_argv, packed, unpacked);
    if (run == 0 || seconds < row.decode_seconds) row.decode_seconds = seconds;
    if (read_file(unpacked) != read_file(corpus))
      throw std::runtime_error(name + ": round trip differs");
  }
  fs::remove(packed);
  fs::remove(unpacked);
  return row;
}

// The tool's own segments on every core, or the whole input as one segment
// (what the cuts cost).
Row measure_level(int level, const std::vector<uint8_t>& data, bool one_segment = false) {
  lume::codec::EncodeOptions options;
  options.level = level;
  if (one_segment) {
    options.segment_size = uint32_t(std::max<size_t>(data.size(), 1));
    options.jobs = 1;
  }
  Clock::time_point start = Clock::now();
  std::vector<uint8_t> stream = lume::codec::encode(data, options);
  double encode_seconds = seconds_since(start);

  // The decoder's own speed: the sink only checks the bytes.
  double decode_seconds = 0;
  for (int run = 0; run < decode_runs; ++run) {
    size_t at = 0;
    bool same = true;
    start = Clock::now();
    bool intact = lume::codec::decode(stream, uint32_t(data.size()),
                                      [&](std::span<const uint8_t> chunk) {
                                        same = same && at + chunk.size() <= data.size() &&
                                               std::memcmp(chunk.data(), data.data() + at,
                                                           chunk.size()) == 0;
                                        at += chunk.size();
                                      });
    double seconds = seconds_since(start);
    if (run == 0 || seconds < decode_seconds) decode_seconds = seconds;
    if (!intact || !same || at != data.size())
      throw std::runtime_error("level " + std::to_string(level) + ": round trip differs");
  }
  return {"lume level " + std::to_string(level) + (one_segment ? ", one segment, one thread" : ""),
          stream.size(), encode_seconds, decode_seconds};
}

void print_table(const fs::path& corpus, uint64_t size, const std::vector<Row>& rows) {
  std::printf("\n%s, %llu bytes\n\n", corpus.filename().c_str(), (unsigned long long)size);
  std::printf("| compressor | compressed bytes | ratio | encode MB/s | decode MB/s |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  for (const Row& row : rows)
    std::printf("| %s | %llu | %.3f | %.1f | %.1f |\n", row.name.c_str(),
                (unsigned long long)row.compressed, double(row.compressed) / double(size),
                double(size) / 1e6 / row.encode_seconds, double(size) / 1e6 / row.decode_seconds);
  std::fflush(stdout);
}

std::string cpu_model() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown CPU";
}

std::vector<int> parse_levels(const std::string& text) {
  std::vector<int> levels;
  for (size_t at = 0; at < text.size();) {
    size_t comma = text.find(',', at);
    levels.push_back(std::stoi(text.substr(at, comma - at)));
    at = comma == std::string::npos ? text.size() : comma + 1;
  }
  return levels;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> levels;
  for (int level = lume::codec::kFastestLevel; level <= lume::codec::kMaxLevel; ++level)
    levels.push_back(level);
  std::vector<fs::path> corpora;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--levels") == 0 && i + 1 < argc)
      levels = parse_levels(argv[++i]);
    else if (std::strcmp(argv[i], "--decode-runs") == 0 && i + 1 < argc)
      decode_runs = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--lume-only") == 0)
      lume_only = true;
    else
      corpora.push_back(argv[i]);
  }
  if (corpora.empty()) {
    std::fprintf(stderr, "usage: codec_bench [--levels 1,2,3] [--decode-runs N] [--lume-only] CORPUS...\n");
    return 2;
  }
  try {
    std::printf("%s, %ld cores; default level %d; lume on %d threads\n", cpu_model().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), lume::codec::kDefaultLevel,
                lume::codec::job_count(0));
    fs::path scratch = fs::temp_directory_path() / ("codec_bench." + std::to_string(getpid()));
    fs::create_directories(scratch);
    for (const fs::path& corpus : corpora) {
      std::vector<uint8_t> data = read_file(corpus);
      std::vector<Row> rows;
      for (int level : levels) rows.push_back(measure_level(level, data));
      if (std::find(levels.begin(), levels.end(), lume::codec::kDefaultLevel) != levels.end())
        rows.push_back(measure_level(lume::codec::kDefaultLevel, data, true));
      if (lume_only) {
        print_table(corpus, data.size(), rows);
        continue;
      }
      rows.push_back(measure_tool("gzip -9", {"gzip", "-9", "-c"}, {"gzip", "-d", "-c"}, corpus,
                                  scratch));
      rows.push_back(measure_tool("bzip2 -9", {"bzip2", "-9", "-c"}, {"bzip2", "-d", "-c"},
                                  corpus, scratch));
      rows.push_back(measure_tool("zstd -19 --long=22", {"zstd", "-19", "--long=22", "-q", "-c"},
                                  {"zstd", "-d", "--long=22", "-q", "-c"}, corpus, scratch));
      rows.push_back(measure_tool("xz -9", {"xz", "-9", "-c"}, {"xz", "-d", "-c"}, corpus,
                                  scratch));
      print_table(corpus, data.size(), rows);
    }
    fs::remove_all(scratch);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "codec_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
