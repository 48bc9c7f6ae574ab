#include "tools/lume/cli/codec_commands.h"

#include <fmt/core.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/lume/base/atomic_file.h"
#include "tools/lume/base/error.h"
#include "tools/lume/cli/jobs_option.h"
#include "tools/lume/codec/decode.h"
#include "tools/lume/codec/encoder.h"
#include "tools/lume/codec/stream_encoder.h"
#include "tools/lume/host/host_system.h"

namespace lume {
namespace {

struct EncodeArguments {
  int level = codec::kDefaultLevel;
  int jobs = 0;
  std::string in, out;
};

struct DecodeArguments {
  uint32_t size = 0;
  std::string in, out;
};

// Before anything is read or written: OUT may be neither a device nor a
// folder nor the very file it is made from.
void refuse_bad_output(const std::string& out, const std::string& in) {
  refuse_unsafe_output(out);
  refuse_output_is_input(out, in, "the input file");
}

void run_encode(const EncodeArguments& args) {
  refuse_bad_output(args.out, args.in);
  // No size for what is no regular file: the reader then says what it is.
  std::error_code ec;
  uint64_t size = std::filesystem::file_size(args.in, ec);
  if (ec) size = 0;
  if (size > codec::kMaxInputSize)
    throw Error(fmt::format("{}: {} bytes exceed the stream's limit of {} bytes", args.in, size,
                            codec::kMaxInputSize));
  codec::EncodeOptions options;
  options.level = args.level;
  options.jobs = args.jobs;
  AtomicFile out(args.out);
  codec::StreamEncoder encoder(options, [&](std::span<const uint8_t> bytes) { out.write(bytes); });
  host::read_file_in_pieces(args.in, size,
                            [&](std::span<const uint8_t> piece) { encoder.write(piece); });
  encoder.finish();
  out.commit();
}

void run_decode(const DecodeArguments& args) {
  refuse_bad_output(args.out, args.in);
  std::vector<uint8_t> stream = host::read_whole_file(args.in);
  AtomicFile out(args.out);
  uint64_t produced = 0;
  codec::StreamStatus status =
      codec::decode_checked(stream, args.size, [&](std::span<const uint8_t> chunk) {
        out.write(chunk);
        produced += chunk.size();
      });
  if (status == codec::StreamStatus::corrupt_tables)
    throw Error(fmt::format("{}: corrupt stream: a block's code tables are invalid", args.in));
  if (status == codec::StreamStatus::cut_short)
    throw Error(fmt::format("{}: corrupt stream: it is cut short", args.in));
  if (produced < args.size)
    throw Error(fmt::format("{}: corrupt stream: it ends after {} of {} bytes", args.in, produced,
                            args.size));
  out.commit();
}

}  // namespace

void add_codec_commands(CLI::App& app) {
  auto encode_args = std::make_shared<EncodeArguments>();
  CLI::App* encode = app.add_subcommand("encode", "Compress IN into a raw stream OUT");
  encode
      ->add_option("--level", encode_args->level,
                   fmt::format("{} (fastest) to {} (smallest); default {}", codec::kFastestLevel,
                               codec::kMaxLevel, codec::kDefaultLevel))
      ->check(CLI::Range(codec::kFastestLevel, codec::kMaxLevel));
  add_jobs_option(encode, encode_args->jobs);
  encode->add_option("IN", encode_args->in, "File to compress")->required();
  encode->add_option("OUT", encode_args->out, "Stream to write")->required();
  encode->callback([encode_args] { run_encode(*encode_args); });

  auto decode_args = std::make_shared<DecodeArguments>();
  CLI::App* decode = app.add_subcommand("decode", "Decode the raw stream IN into OUT");
  decode->add_option("--size", decode_args->size, "Number of bytes the stream holds")->required();
  decode->add_option("IN", decode_args->in, "Stream to decode")->required();
  decode->add_option("OUT", decode_args->out, "File to write")->required();
  decode->callback([decode_args] { run_decode(*decode_args); });
}

}  // namespace lume
