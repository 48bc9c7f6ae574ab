// The one cut of the decoded stream into files, and the directory walk under
// it, as the installer's sink drives them: through plain calls that may
// refuse a file or fail a write.
#include "payload/stream_cutter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "payload/check_value.h"
#include "tests/support/payload_bytes.h"

using lume_test::RawEntry;

namespace {

// Records every call as text: "open a", "write a:xyz", "close a ok|bad".
struct Recorder {
  std::vector<std::string> calls;
  std::string refuse;      // open refuses this name
  std::string fail_write;  // writes to this name fail
  std::vector<RawEntry> entries;

  static std::string name_of(const PayloadEntry* e) { return std::string(e->name, e->name_length); }
  static bool open(void* self, const PayloadEntry* e) {
    auto* r = static_cast<Recorder*>(self);
    r->calls.push_back("open " + name_of(e));
    return name_of(e) != r->refuse;
  }
  static uint32_t write(void* self, const unsigned char* bytes, uint32_t count) {
    auto* r = static_cast<Recorder*>(self);
    std::string& last = r->calls.back();
    std::string name = last.substr(last.find(' ') + 1, last.find(':') - last.find(' ') - 1);
    r->calls.push_back("write " + name + ":" + std::string(reinterpret_cast<const char*>(bytes), count));
    return name == r->fail_write ? 0 : count;
  }
  static void close(void* self, const PayloadEntry* e, uint32_t check) {
    auto* r = static_cast<Recorder*>(self);
    r->calls.push_back("close " + name_of(e) + (check == e->fields.check ? " ok" : " bad"));
  }
};

class Cutter : public ::testing::Test {
 protected:
  void SetUp() override { build_crc_table(); }
  void start(std::vector<std::pair<std::string, std::string>> files) {
    recorder_.entries.clear();
    recorder_.calls.clear();
    for (auto& [name, contents] : files)
      recorder_.entries.push_back({name, uint32_t(contents.size()), lume_test::reference_check(contents)});
    directory_ = lume_test::directory_bytes(recorder_.entries);
    start_cutting(&cutter_, directory_.data(), uint32_t(directory_.size()),
                  uint32_t(recorder_.entries.size()));
  }
  uint32_t cut(const std::string& bytes) {
    return cut_stream(&cutter_, &calls_, reinterpret_cast<const unsigned char*>(bytes.data()),
                      uint32_t(bytes.size()));
  }
  Recorder recorder_;
  CutterCalls calls_ = {Recorder::open, Recorder::write, Recorder::close, &recorder_};
  std::vector<unsigned char> directory_;
  StreamCutter cutter_;
};

}  // namespace

TEST_F(Cutter, ClosesEachFileOnlyWhenTheNextByteArrivesAndEmptyOnesAfterTheLast) {
  start({{"a", "ab"}, {"empty", ""}, {"c", "cd"}, {"tail", ""}});
  EXPECT_EQ(cut("abc"), 3u);
  EXPECT_EQ(recorder_.calls, (std::vector<std::string>{"open a", "write a:ab", "close a ok",
                                                       "open empty", "close empty ok", "open c",
                                                       "write c:c"}));
  EXPECT_EQ(cut("d"), 1u);
  EXPECT_TRUE(cut_file_complete(&cutter_));
  recorder_.calls.clear();
  cut_empty_entries(&cutter_, &calls_);
  EXPECT_EQ(recorder_.calls,
            (std::vector<std::string>{"close c ok", "open tail", "close tail ok"}));
}

// Every chunk size from one byte to the whole stream gives the same files:
// each opened, written with its bytes and closed with a good check, empty
// ones among them, in directory order.
TEST_F(Cutter, ChunksOfEverySizeGiveTheSameFiles) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty", ""}, {"a", "abc"}, {"b", "d"}, {"mid", ""}, {"c", "efghijk"}, {"tail", ""}};
  std::string stream;
  for (const auto& file : files) stream += file.second;
  for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
    start(files);
    for (size_t at = 0; at < stream.size(); at += chunk)
      ASSERT_EQ(cut(stream.substr(at, chunk)), std::min(chunk, stream.size() - at)) << chunk;
    cut_empty_entries(&cutter_, &calls_);
    std::vector<std::string> got, want;
    for (const std::string& call : recorder_.calls) {
      if (call.rfind("write ", 0) == 0 && got.back().rfind("write ", 0) == 0)
        got.back() += call.substr(call.find(':') + 1);  // one write per file, joined
      else
        got.push_back(call);
    }
    for (const auto& [name, contents] : files) {
      want.push_back("open " + name);
      if (!contents.empty()) want.push_back("write " + name + ":" + contents);
      want.push_back("close " + name + " ok");
    }
    EXPECT_EQ(got, want) << "chunks of " << chunk;
  }
}

TEST_F(Cutter, AFailedWriteIsNotConsumedButShowsWhenTheFileIsChecked) {
  start({{"a", "abc"}, {"b", "de"}});
  recorder_.fail_write = "a";
  // a's three bytes count against a although they were not written; the
  // same bytes then go to b, whose check fails too.
  EXPECT_EQ(cut("abcde"), 2u);
  EXPECT_EQ(recorder_.calls[2], "close a ok");
  EXPECT_EQ(recorder_.calls[4], "write b:ab");
  EXPECT_EQ(recorder_.calls.back(), "close b bad");
}

TEST_F(Cutter, StopsWhereOpenRefusesAndDropsBytesBeyondTheDirectory) {
  start({{"a", "a"}, {"b", "b"}});
  recorder_.refuse = "b";
  EXPECT_EQ(cut("ab"), 1u);
  EXPECT_EQ(recorder_.calls.back(), "open b");

  start({{"only", "xy"}});
  EXPECT_EQ(cut("xyz"), 2u);  // z belongs to no file; "only" is closed at it
  EXPECT_EQ(recorder_.calls.back(), "close only ok");
}

TEST(EntryCursor, HandsOutEntriesAndStaysPutAtAnOverrun) {
  std::vector<unsigned char> directory = lume_test::directory_bytes(
      {{"first", 7, 0x01020304u, 0x1111111122222222ull, 3, 0x0A0B0C0D0E0F1011ull}, {"second", 0}});
  EntryCursor cursor;
  PayloadEntry entry;
  start_entries(&cursor, directory.data(), uint32_t(directory.size()), 2);
  ASSERT_EQ(next_entry(&cursor, &entry), entry_read);
  EXPECT_EQ(std::string(entry.name, entry.name_length), "first");
  EXPECT_EQ(entry.fields.size, 7u);
  EXPECT_EQ(entry.fields.check, 0x01020304u);
  EXPECT_EQ(entry.fields.creation_time.high, 0x11111111u);
  EXPECT_EQ(entry.fields.creation_time.low, 0x22222222u);
  EXPECT_EQ(entry.fields.last_access_time.low, 3u);
  EXPECT_EQ(entry.fields.last_write_time.high, 0x0A0B0C0Du);
  ASSERT_EQ(next_entry(&cursor, &entry), entry_read);
  EXPECT_EQ(next_entry(&cursor, &entry), entries_done);
  EXPECT_EQ(cursor.position, directory.size());

  // Cut inside the second entry's fields, then inside its name.
  for (uint32_t size : {uint32_t(38 + 20), uint32_t(directory.size() - 1)}) {
    start_entries(&cursor, directory.data(), size, 2);
    ASSERT_EQ(next_entry(&cursor, &entry), entry_read);
    uint32_t before = cursor.position;
    EXPECT_EQ(next_entry(&cursor, &entry), entry_overrun) << size;
    EXPECT_EQ(cursor.position, before);
    EXPECT_EQ(cursor.entries_left, 1u);
  }
}
