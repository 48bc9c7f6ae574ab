#include <gtest/gtest.h>

#include <string>

#include "payload/archive_format.h"
#include "tests/support/payload_bytes.h"
#include "tools/lume/archive/file_cutter.h"

using lume::PayloadFileEntry;
using lume::FileCutter;

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
  std::vector<uint8_t> head = lume::header_and_directory(files);
  std::span<const uint8_t> directory = std::span<const uint8_t>(head).subspan(kPayloadHeaderSize);
  FileCutter cutter(directory, files,
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

TEST(FileCutter, CutsChunksThatIgnoreFileBoundaries) {
  std::vector<std::string> expected = {"empty1=", "a=abc", "empty2=", "b=defgh", "empty3="};
  for (size_t chunk : {1, 2, 3, 4, 8, 100})
    EXPECT_EQ(cut(kFiles, "abcdefgh", chunk), expected) << chunk;
}

TEST(FileCutter, FlagsContentsThatDoNotCheck) {
  EXPECT_EQ(cut(kFiles, "abXdefgh", 3)[1], "a!abX");
}

TEST(FileCutter, LeavesFilesTheStreamNeverFinishes) {
  size_t done = 0;
  std::vector<std::string> closed = cut(kFiles, "abcde", 4, &done);
  EXPECT_EQ(closed, (std::vector<std::string>{"empty1=", "a=abc", "empty2="}));
  EXPECT_EQ(done, 3u);
  // A stream that ends exactly behind a file closes that file, and opens
  // none of the files it never reached, even past empty ones.
  closed = cut(kFiles, "abc", 3, &done);
  EXPECT_EQ(closed, (std::vector<std::string>{"empty1=", "a=abc"}));
  EXPECT_EQ(done, 2u);
}

TEST(FileCutter, CountsBytesBeyondTheLastFileAsExcess) {
  std::vector<PayloadFileEntry> files = {entry("a", "abc"), entry("empty", "")};
  std::vector<uint8_t> head = lume::header_and_directory(files);
  std::vector<std::string> closed;
  FileCutter cutter(std::span<const uint8_t>(head).subspan(kPayloadHeaderSize), files,
                      {nullptr, nullptr, [&](const PayloadFileEntry& f, uint32_t check) {
                         closed.push_back(f.name + (check == f.check ? "=" : "!"));
                       }});
  std::string stream = "abcXY";
  cutter.take({reinterpret_cast<const uint8_t*>(stream.data()), stream.size()});
  cutter.finish();
  EXPECT_EQ(cutter.excess(), 2u);
  EXPECT_EQ(closed, (std::vector<std::string>{"a=", "empty="}));
}
