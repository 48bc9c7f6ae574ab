// The encoder that each Windows tree builds for the build machine and runs
// on its uninstaller, which the stub then carries compressed: writes IN as
// a stream of the payload's format, at the highest level, to OUT. Fails
// unless the stream decodes, with the stub's own decoder, to IN byte for
// byte, so that the stub writes "lumeuins.exe" exactly as it was built.
// Usage: lume_encode_file IN OUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/lume/base/error.h"
#include "tools/lume/codec/decode.h"
#include "tools/lume/codec/encoder.h"

namespace {

std::vector<uint8_t> read_input(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || in.bad()) throw lume::Error(std::string(path) + ": cannot be read");
  return data;
}

void write_output(const char* path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw lume::Error(std::string(path) + ": cannot be written");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lume_encode_file IN OUT\n");
    return 2;
  }
  try {
    std::vector<uint8_t> data = read_input(argv[1]);
    lume::codec::EncodeOptions options;
    options.level = lume::codec::kMaxLevel;
    std::vector<uint8_t> stream = lume::codec::encode(data, options);
    if (lume::codec::decode_to_vector(stream, uint32_t(data.size())) != data)
      throw lume::Error(std::string(argv[1]) + ": its stream does not decode to it");
    write_output(argv[2], stream);
  } catch (const lume::Error& error) {
    std::fprintf(stderr, "lume_encode_file: %s\n", error.what());
    return 1;
  }
  return 0;
}
