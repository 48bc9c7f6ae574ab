// The payload reader against installer files made by hand, under Windows.
#include "payload/archive_reader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "installer/config_block.h"
#include "installer/shared_state.h"
#include "payload/entry_cursor.h"
#include "payload/payload_messages.h"
#include "tests/support/payload_bytes.h"

using lume_test::RawEntry;

namespace {

std::string temp_path(const std::string& name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

struct Installer {
  std::vector<unsigned char> bytes;
  size_t payload_offset;
  size_t directory_end;  // offset of the first stream byte
};

Installer make_installer(const std::vector<RawEntry>& entries, size_t stub_size = 700,
                         const std::string& stream = "STREAM") {
  Installer inst;
  inst.bytes.assign(stub_size, 'S');
  inst.payload_offset = stub_size;
  std::vector<unsigned char> head = lume_test::header_and_directory(entries);
  inst.bytes.insert(inst.bytes.end(), head.begin(), head.end());
  inst.directory_end = inst.bytes.size();
  inst.bytes.insert(inst.bytes.end(), stream.begin(), stream.end());
  return inst;
}

class ArchiveReader : public ::testing::Test {
 protected:
  void SetUp() override {
    store_word(pause_flag, LONG(0));
    store_word(cancel_flag, LONG(0));
  }
  void TearDown() override {
    close_installer_file();
    std::remove(path_.c_str());
  }
  // Writes the installer as a ".exe", configures the offset, opens it.
  const char* open(const Installer& inst, const std::string& offset_text) {
    write_file(path_, inst.bytes);
    std::memset(config.PayloadOffset, 0, sizeof config.PayloadOffset);
    std::strcpy(config.PayloadOffset, offset_text.c_str());
    return open_payload(path_.c_str());
  }
  const char* open(const Installer& inst) {
    return open(inst, std::to_string(inst.payload_offset));
  }
  std::string path_ = temp_path("lume_reader_test.exe");
};

const std::vector<RawEntry> kThreeFiles = {
    {"readme.txt", 5, 0x11111111u, 0x01D0000000000001ull, 0x01D0000000000002ull,
     0x01D0000000000003ull},
    {"bin\\empty.dat", 0, 0xFFFFFFFFu, 1, 2, 3},
    {"bin\\app.exe", 1234, 0xCADBBE3Du, 0x01DA123456789ABCull, 0x01DA123456789ABDull,
     0x01DA123456789ABEull},
};

}  // namespace

TEST_F(ArchiveReader, ListsAHandMadeDirectoryWithSizesChecksAndTimes) {
  Installer inst = make_installer(kThreeFiles);
  ASSERT_EQ(open(inst), nullptr);
  EXPECT_EQ(payload_header.file_count, 3u);
  EXPECT_EQ(payload_header.total_size, 1239u);

  EntryCursor cursor;
  start_entries(&cursor, directory_buffer, payload_header.directory_size, 3);
  for (const RawEntry& want : kThreeFiles) {
    PayloadEntry entry;
    ASSERT_EQ(next_entry(&cursor, &entry), entry_read);
    const EntryFields& got = entry.fields;
    EXPECT_EQ(std::string(entry.name, entry.name_length), want.name);
    EXPECT_EQ(got.size, want.size);
    EXPECT_EQ(got.check, want.check);
    EXPECT_EQ((uint64_t(got.creation_time.high) << 32) | got.creation_time.low, want.creation);
    EXPECT_EQ((uint64_t(got.last_access_time.high) << 32) | got.last_access_time.low,
              want.last_access);
    EXPECT_EQ((uint64_t(got.last_write_time.high) << 32) | got.last_write_time.low,
              want.last_write);
  }
  PayloadEntry beyond;
  EXPECT_EQ(next_entry(&cursor, &beyond), entries_done);

  // The decoder's input now stands at the first byte of the stream.
  const unsigned char* stream = nullptr;
  ASSERT_EQ(next_payload_bytes(&stream), 6);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream), 6), "STREAM");
  EXPECT_EQ(next_payload_bytes(&stream), 0);
}

TEST_F(ArchiveReader, AFileCutBeforeTheEndOfTheDirectoryIsIncomplete) {
  Installer whole = make_installer(kThreeFiles, 64);
  for (size_t cut = 0; cut < whole.directory_end; ++cut) {
    Installer inst = whole;
    inst.bytes.resize(cut);
    const char* failure = open(inst, std::to_string(whole.payload_offset));
    ASSERT_NE(failure, nullptr) << "cut at " << cut;
    EXPECT_STREQ(failure, kIncompleteMessage) << "cut at " << cut;
    EXPECT_EQ(installer_file, nullptr);
  }
  Installer exact = whole;
  exact.bytes.resize(whole.directory_end);  // no stream at all: the decoder finds that out
  EXPECT_EQ(open(exact), nullptr);
}

TEST_F(ArchiveReader, AFileEndingAtThePayloadOffsetIsIncompleteNotEmpty) {
  Installer inst = make_installer({}, 100, "");
  inst.bytes.resize(100);
  EXPECT_STREQ(open(inst), kIncompleteMessage);
  EXPECT_STREQ(open(inst, "5000"), kIncompleteMessage);  // offset beyond the end
}

TEST_F(ArchiveReader, AnEmptyArchiveOpens) {
  Installer inst = make_installer({}, 100, "");
  ASSERT_EQ(open(inst), nullptr);
  EXPECT_EQ(payload_header.file_count, 0u);
  EXPECT_EQ(payload_header.total_size, 0u);
}

// How the slot's text reads as a number is payload_offset_value's test
// (config_block_test); here, which numbers the reader takes.
TEST_F(ArchiveReader, AnOffsetThatIsNotAPositiveNumberIsUnconfigured) {
  Installer inst = make_installer(kThreeFiles);
  for (const char* text : {"0", LUME_KEY_PAYLOAD_OFFSET, "-700"}) {
    EXPECT_STREQ(open(inst, text), kUnconfiguredMessage) << '"' << text << '"';
    EXPECT_EQ(installer_file, nullptr);
  }
  EXPECT_EQ(open(inst, "700"), nullptr);
}

TEST_F(ArchiveReader, RefusesDirectoriesThatBreakTheRulesAsCorrupted) {
  auto with_header = [](uint32_t count, uint32_t total, uint32_t dir_size,
                        const std::vector<unsigned char>& dir) {
    Installer inst;
    inst.bytes.assign(50, 'S');
    inst.payload_offset = 50;
    lume_test::put_u32(inst.bytes, count);
    lume_test::put_u32(inst.bytes, total);
    lume_test::put_u32(inst.bytes, dir_size);
    inst.bytes.insert(inst.bytes.end(), dir.begin(), dir.end());
    return inst;
  };
  std::vector<unsigned char> dir = lume_test::directory_bytes({{"a.txt", 3}, {"b.txt", 4}});
  uint32_t n = uint32_t(dir.size());

  EXPECT_STREQ(open(with_header(2, 7, kDirectoryBufferSize + 1, dir)), kCorruptedMessage);
  std::vector<RawEntry> filling = lume_test::entries_filling(kDirectoryBufferSize);
  EXPECT_EQ(open(with_header(uint32_t(filling.size()), 0, kDirectoryBufferSize,
                             lume_test::directory_bytes(filling))),
            nullptr);  // the largest directory there is room for
  EXPECT_STREQ(open(with_header(3, 7, n, dir)), kCorruptedMessage);      // overrun
  EXPECT_STREQ(open(with_header(1, 3, n, dir)), kCorruptedMessage);      // not filled
  EXPECT_STREQ(open(with_header(2, 8, n, dir)), kCorruptedMessage);      // sum differs
  EXPECT_EQ(open(with_header(2, 7, n, dir)), nullptr);

  for (const char* bad : {"..\\x", "\\x", "C:\\x", "x\\", "a\\\\b", ".\\x", "a\\..\\b"}) {
    Installer inst = make_installer({{bad, 0}});
    EXPECT_STREQ(open(inst), kCorruptedMessage) << bad;
  }
}

TEST_F(ArchiveReader, AppendsExeUnlessTheNameEndsInItInAnyCase) {
  char name[kPathCapacity];
  ASSERT_TRUE(installer_file_name(name, "C:\\dl\\setup"));
  EXPECT_STREQ(name, "C:\\dl\\setup.exe");
  ASSERT_TRUE(installer_file_name(name, "C:\\dl\\SETUP.EXE"));
  EXPECT_STREQ(name, "C:\\dl\\SETUP.EXE");
  ASSERT_TRUE(installer_file_name(name, "exe"));
  EXPECT_STREQ(name, "exe.exe");
  EXPECT_FALSE(installer_file_name(name, std::string(257, 'p').c_str()));

  // Started without the ending, the reader still finds its file.
  Installer inst = make_installer(kThreeFiles);
  write_file(path_, inst.bytes);
  std::strcpy(config.PayloadOffset, "700");
  std::string without = path_.substr(0, path_.size() - 4);
  EXPECT_EQ(open_payload(without.c_str()), nullptr);
}

TEST_F(ArchiveReader, NamesTheFileItCouldNotOpen) {
  std::string missing = temp_path("no_such_installer");
  const char* failure = open_payload(missing.c_str());
  ASSERT_NE(failure, nullptr);
  EXPECT_EQ(std::string(failure), "Cannot open installation file:\n    " + missing + ".exe");
}

TEST_F(ArchiveReader, ReadWaitsWhilePausedAndStopsOnceCancelled) {
  Installer inst = make_installer({{"a", 6}});
  ASSERT_EQ(open(inst), nullptr);

  store_word(pause_flag, LONG(1));
  std::thread resume([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    store_word(pause_flag, LONG(0));
  });
  auto start = std::chrono::steady_clock::now();
  const unsigned char* bytes = nullptr;
  int32_t got = next_payload_bytes(&bytes);
  auto waited = std::chrono::steady_clock::now() - start;
  resume.join();
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  ASSERT_EQ(got, 6);
  EXPECT_EQ(bytes[0], 'S');

  store_word(cancel_flag, LONG(1));
  long before = std::ftell(installer_file);
  EXPECT_EQ(next_payload_bytes(&bytes), 0);
  EXPECT_EQ(std::ftell(installer_file), before);  // nothing more was read
}
