// The stub's decoder alone, in process: decodes one stream from memory
// several times and prints the median and best speed in MB/s (10^6 bytes
// of decoded output per second of the thread's CPU time, which other jobs
// on the machine disturb less than wall-clock time). Built by the host tree
// (-O3, 64-bit) and by the 32-bit core tree at the product's flags (-Os,
// -m32), which is how the stub runs it.
//
//   decoder_bench STREAM SIZE [RUNS] [ORIGINAL]
//
// SIZE is the stream's decoded size; with ORIGINAL every run's output is
// compared with that file.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "payload/decoder.h"

namespace {

std::vector<unsigned char> stream, original;
bool stream_given;  // in this run
size_t compared;    // output bytes handed out so far in this run
bool differs;

bool read_file(const char* path, std::vector<unsigned char>& out) {
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return false;
  unsigned char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
    out.insert(out.end(), buffer, buffer + n);
  bool read = !ferror(file);
  fclose(file);
  return read;
}

int32_t whole_stream(const unsigned char** bytes) {
  if (stream_given) return 0;
  stream_given = true;
  *bytes = stream.data();
  return int32_t(stream.size());
}

int32_t take_output(const unsigned char* buffer, int32_t count) {
  if (!original.empty() &&
      (compared + size_t(count) > original.size() ||
       memcmp(buffer, original.data() + compared, size_t(count)) != 0))
    differs = true;
  compared += size_t(count);
  return count;
}

double cpu_seconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: decoder_bench STREAM SIZE [RUNS] [ORIGINAL]\n");
    return 2;
  }
  uint32_t size = uint32_t(strtoul(argv[2], nullptr, 10));
  int runs = argc > 3 ? atoi(argv[3]) : 9;
  if (!read_file(argv[1], stream) || (argc > 4 && !read_file(argv[4], original))) {
    fprintf(stderr, "decoder_bench: cannot read %s\n", argc > 4 ? argv[4] : argv[1]);
    return 1;
  }
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    stream_given = false;
    compared = 0;
    differs = false;
    double start = cpu_seconds();
    DecodeResult result = decode_stream(whole_stream, take_output, size);
    seconds.push_back(cpu_seconds() - start);
    if (result != decode_ok || differs || (!original.empty() && compared != original.size())) {
      fprintf(stderr, "decoder_bench: run %d decoded %zu bytes that differ\n", run, compared);
      return 1;
    }
  }
  std::sort(seconds.begin(), seconds.end());
  double median = seconds[seconds.size() / 2], best = seconds.front();
  printf("%u bytes, %d runs: median %.1f MB/s (%.3f s), best %.1f MB/s\n", size, runs,
         size / 1e6 / median, median, size / 1e6 / best);
  return 0;
}
