#include <gtest/gtest.h>

#include <string>

#include "tests/support/payload_bytes.h"
#include "tools/lume/archive/stream_cutter.h"

using lume::PayloadFileEntry;
using lume::StreamCutter;

namespace {

PayloadFileEntry entry(const std::string& name, const std::string& contents) {
  PayloadFileEntry e;
  e.name = name;
  e.size = uint32_t(contents.size());
  e.check = lume_test::reference_check(contents);
  return e;
}

// Runs the stream through a cutter in pieces of chunk bytes and records
// "name=contents" for every closed file, with "!" when its check failed.
std::vector<std::string> cut(const std::vector<PayloadFileEntry>& files, const std::string& stream,
                             size_t chunk, size_t* done = nullptr) {
  std::vector<std::string> closed;
  std::string current;
  StreamCutter cutter(files,
                      {[&](const PayloadFileEntry&) { current.clear(); },
                       [&](std::span<const uint8_t> b) { current.append(b.begin(), b.end()); },
                       [&](const PayloadFileEntry& f, uint32_t check) {
                         closed.push_back(f.name + (check == f.check ? "=" : "!") + current);
                       }});
  for (size_t at = 0; at < stream.size(); at += chunk) {
    std::string piece = stream.substr(at, chunk);
    cutter.take({reinterpret_cast<const uint8_t*>(piece.data()), piece.size()});
  }
  cutter.finish();
  if (done) *done = cutter.files_done();
  return closed;
}

const std::vector<PayloadFileEntry> kFiles = {entry("empty1", ""), entry("a", "abc"),
                                              entry("empty2", ""), entry("b", "defgh"),
                                              entry("empty3", "")};

}  // namespace

TEST(StreamCutter, CutsChunksThatIgnoreFileBoundaries) {
  std::vector<std::string> expected = {"empty1=", "a=abc", "empty2=", "b=defgh", "empty3="};
  for (size_t chunk : {1, 2, 3, 4, 8, 100})
    EXPECT_EQ(cut(kFiles, "abcdefgh", chunk), expected) << chunk;
}

TEST(StreamCutter, FlagsContentsThatDoNotCheck) {
  EXPECT_EQ(cut(kFiles, "abXdefgh", 3)[1], "a!abX");
}

TEST(StreamCutter, LeavesFilesTheStreamNeverFinishes) {
  size_t done = 0;
  std::vector<std::string> closed = cut(kFiles, "abcde", 4, &done);
  EXPECT_EQ(closed, (std::vector<std::string>{"empty1=", "a=abc", "empty2="}));
  EXPECT_EQ(done, 3u);
}
