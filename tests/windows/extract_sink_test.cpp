// The extraction sink fed directly, the way the decoder feeds it: chunks of
// any size against a hand-made directory. The failures that end the process
// are tested through the installer probe (install_probe_test) and the
// shipped stub (bad_installer_test), a cancel confirmed while a name is
// shown with the sequence (install_sequence_test).
#include "payload/extract_sink.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "installer/shared_state.h"
#include "payload/check_value.h"
#include "tests/support/payload_bytes.h"
#include "tests/support/test_files.h"
#include "uninstaller/uninstall_data.h"

using lume_test::RawEntry;

namespace {

struct PayloadFile {
  std::string name;
  std::string contents;
  uint64_t creation = 0x01D9000000000000ull, last_access = 0x01D9000000000001ull,
           last_write = 0x01D9000000000002ull;
};

uint64_t as_ticks(const FILETIME& time) {
  return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct Times {
  uint64_t creation = 0, last_access = 0, last_write = 0;
};

Times times_of(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return {as_ticks(data.ftCreationTime), as_ticks(data.ftLastAccessTime),
          as_ticks(data.ftLastWriteTime)};
}

// Whether this platform keeps a creation time that is set (Wine on Linux
// does not): asked of a scratch file rather than assumed.
bool platform_keeps_creation_time(const std::string& folder) {
  std::string scratch = folder + "creation probe";
  lume_test::write_file(scratch, "x");
  HANDLE file = CreateFileA(scratch.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME wanted = {0x12345600u, 0x01C00000u};
  SetFileTime(file, &wanted, nullptr, nullptr);
  CloseHandle(file);
  bool kept = times_of(scratch).creation == as_ticks(wanted);
  DeleteFileA(scratch.c_str());
  return kept;
}

class ExtractSink : public ::testing::Test {
 protected:
  void SetUp() override {
    build_crc_table();
    store_word(cancel_flag, LONG(0));
    store_word(status_dialog, HWND(nullptr));
    folder_ = lume_test::fresh_test_folder(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_LT(folder_.size(), size_t(MAX_PATH));
    // The data file lies outside the installation folder here, so that
    // listing the folder shows only what the sink made.
    data_path_ = folder_.substr(0, folder_.size() - 1) + " data.txt";
    uninstall_data_file = std::fopen(data_path_.c_str(), "wb");
    ASSERT_NE(uninstall_data_file, nullptr);
    install_folder_ = folder_ + "app\\";
  }

  void TearDown() override {
    if (extraction.current_file != nullptr) std::fclose(extraction.current_file);
    extraction.current_file = nullptr;
    if (uninstall_data_file != nullptr) std::fclose(uninstall_data_file);
    uninstall_data_file = nullptr;
    store_word(cancel_flag, LONG(0));
    lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
    DeleteFileA(data_path_.c_str());
  }

  // Sets the sink up for files, as the extraction entry does.
  void prepare(const std::vector<PayloadFile>& files) {
    std::vector<RawEntry> entries;
    stream_.clear();
    for (const PayloadFile& f : files) {
      entries.push_back({f.name, uint32_t(f.contents.size()), lume_test::reference_check(f.contents),
                         f.creation, f.last_access, f.last_write});
      stream_ += f.contents;
    }
    directory_ = lume_test::directory_bytes(entries);
    PayloadHeader header = {uint32_t(files.size()), uint32_t(stream_.size()),
                            uint32_t(directory_.size())};
    start_extraction(install_folder_.c_str(), directory_.data(), header);
  }

  // Hands stream bytes [from, from + count) to the sink; returns its result.
  int32_t deliver(size_t from, size_t count) {
    return extract_write(reinterpret_cast<const unsigned char*>(stream_.data()) + from,
                         int32_t(count));
  }

  // The whole stream in chunks of chunk bytes, then the close after decoding.
  void extract_in_chunks(size_t chunk) {
    for (size_t at = 0; at < stream_.size(); at += chunk) {
      size_t count = std::min(chunk, stream_.size() - at);
      ASSERT_EQ(deliver(at, count), int32_t(count)) << "chunk at " << at;
    }
    finish_extraction();
  }

  std::string data_file() {
    std::fflush(uninstall_data_file);
    return lume_test::read_file(data_path_);
  }

  std::string records_for(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
      text += '0';
      text += install_folder_;
      text += name;
      text += '\n';
    }
    return text;
  }

  std::string folder_, install_folder_, data_path_, stream_;
  std::vector<unsigned char> directory_;  // the sink walks it while it extracts
};

const std::vector<PayloadFile> kMixed = {
    {"readme.txt", "Read me first.\r\n"},
    {"empty first.dat", ""},
    {"bin\\hello.exe", std::string("MZ\0\x01\x02 hello", 11)},
    {"bin\\empty.cfg", ""},
    {"bin\\data\\table.bin", std::string(37, '\xA5') + "end"},
    {"z.txt", "z"},
    {"trailing\\empty.log", ""},
    {"trailing empty.txt", ""},
};

}  // namespace

// Every chunk size is the cutter's own test (stream_cutter_test); here
// single bytes, a size that ends chunks inside and behind files, and all
// at once reach the disk alike.
TEST_F(ExtractSink, CutsChunksOfAnySizeIntoTheSameFiles) {
  std::string total;
  for (const PayloadFile& f : kMixed) total += f.contents;
  for (size_t chunk : {size_t(1), size_t(16), total.size()}) {
    SCOPED_TRACE("chunks of " + std::to_string(chunk));
    lume_test::remove_tree(install_folder_.substr(0, install_folder_.size() - 1));
    std::freopen(data_path_.c_str(), "wb", uninstall_data_file);
    prepare(kMixed);
    extract_in_chunks(chunk);
    for (const PayloadFile& f : kMixed) {
      EXPECT_EQ(lume_test::read_file(install_folder_ + f.name), f.contents) << f.name;
      EXPECT_TRUE(lume_test::file_exists(install_folder_ + f.name)) << f.name;
    }
    EXPECT_EQ(extraction.remaining_bytes, 0u);
    EXPECT_EQ(extraction.cutter.entries.entries_left, 0u);
    std::vector<std::string> names;
    for (const PayloadFile& f : kMixed) names.push_back(f.name);
    EXPECT_EQ(data_file(), records_for(names));
    if (HasFailure()) break;
  }
}

TEST_F(ExtractSink, OpensEachFileAtItsFirstByteAndRecordsItBeforeWritingIt) {
  prepare({{"a.txt", "ab"}, {"b.txt", ""}, {"c.txt", "cdefg"}});
  EXPECT_EQ(deliver(0, 4), 4);
  // a and the empty b are done; c is open with two of its five bytes.
  EXPECT_EQ(lume_test::read_file(install_folder_ + "a.txt"), "ab");
  EXPECT_TRUE(lume_test::file_exists(install_folder_ + "b.txt"));
  EXPECT_TRUE(lume_test::file_exists(install_folder_ + "c.txt"));
  EXPECT_EQ(data_file(), records_for({"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(extraction.cutter.bytes_done, 2u);
  EXPECT_EQ(extraction.remaining_bytes, 3u);

  EXPECT_EQ(deliver(4, 3), 3);
  EXPECT_NE(extraction.current_file, nullptr);  // the last file waits for the close after decoding
  finish_extraction();
  EXPECT_EQ(extraction.current_file, nullptr);
  EXPECT_EQ(lume_test::read_file(install_folder_ + "c.txt"), "cdefg");
  EXPECT_EQ(extraction.remaining_bytes, 0u);
}

TEST_F(ExtractSink, CreatesNestedFoldersAndOverwritesWhatIsInTheWay) {
  lume_test::make_folders(install_folder_ + "lib");
  ASSERT_TRUE(lume_test::write_file(install_folder_ + "lib\\keep.txt", "user"));
  ASSERT_TRUE(lume_test::write_file(install_folder_ + "lib\\old.dll", "an older and longer file"));
  prepare({{"lib\\old.dll", "new"}, {"share\\doc\\en\\guide.txt", "guide"}});
  extract_in_chunks(100);
  EXPECT_EQ(lume_test::read_file(install_folder_ + "lib\\old.dll"), "new");
  EXPECT_EQ(lume_test::read_file(install_folder_ + "lib\\keep.txt"), "user");
  EXPECT_EQ(lume_test::read_file(install_folder_ + "share\\doc\\en\\guide.txt"), "guide");
}

TEST_F(ExtractSink, ASecondEntryOfTheSameNameWinsAndBothAreRecorded) {
  prepare({{"same.txt", "first version"}, {"other.txt", "o"}, {"same.txt", "second"}});
  extract_in_chunks(5);
  EXPECT_EQ(lume_test::read_file(install_folder_ + "same.txt"), "second");
  EXPECT_EQ(data_file(), records_for({"same.txt", "other.txt", "same.txt"}));
}

TEST_F(ExtractSink, GivesEveryFileItsStoredTimes) {
  std::vector<PayloadFile> files = {
      {"old.txt", "from long ago", 0x01A0000011112222ull, 0x01B0000033334444ull,
       0x01C0000055556666ull},
      {"empty.txt", "", 0x01D5555566667777ull, 0x01D6666677778888ull, 0x01D7777788889999ull},
      {"sub\\new.txt", "recent", 0x01DA000000000001ull, 0x01DA0000000F4241ull,
       0x01DA000000989681ull},
  };
  prepare(files);
  extract_in_chunks(4);
  bool creation_kept = platform_keeps_creation_time(folder_);
  for (const PayloadFile& f : files) {
    Times got = times_of(install_folder_ + f.name);  // before any read of the contents
    EXPECT_EQ(got.last_access, f.last_access) << f.name;
    EXPECT_EQ(got.last_write, f.last_write) << f.name;
    if (creation_kept) {
      EXPECT_EQ(got.creation, f.creation) << f.name;
    }
  }
}

TEST_F(ExtractSink, DropsBytesBeyondTheDirectoryAfterClosingTheLastFile) {
  std::vector<PayloadFile> files = {{"only.txt", "12345"}};
  prepare(files);
  stream_ += "surplus";
  EXPECT_EQ(deliver(0, stream_.size()), 5);
  EXPECT_EQ(extraction.current_file, nullptr);  // closed, verified and timed at the first surplus byte
  EXPECT_EQ(times_of(install_folder_ + "only.txt").last_write, files[0].last_write);
  EXPECT_EQ(deliver(5, 7), 0);
  EXPECT_EQ(lume_test::read_file(install_folder_ + "only.txt"), "12345");
}

TEST_F(ExtractSink, TakesNoMoreBytesOnceCancelled) {
  std::vector<PayloadFile> files = {{"big.bin", std::string(1000, 'b')}, {"next.txt", "n"}};
  prepare(files);
  ASSERT_EQ(deliver(0, 600), 600);
  store_word(cancel_flag, LONG(1));
  EXPECT_EQ(deliver(600, stream_.size() - 600), 0);
  finish_extraction();
  EXPECT_EQ(lume_test::read_file(install_folder_ + "big.bin"), std::string(600, 'b'));
  EXPECT_NE(times_of(install_folder_ + "big.bin").last_write, files[0].last_write);
  EXPECT_FALSE(lume_test::file_exists(install_folder_ + "next.txt"));
  EXPECT_EQ(data_file(), records_for({"big.bin"}));
  EXPECT_EQ(extraction.remaining_bytes, 401u);
}

TEST_F(ExtractSink, CreatesOnlyTheFoldersAlongAPath) {
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%sone\\two\\three.txt", install_folder_.c_str());
  std::string before = path;
  make_folder_chain(path);
  EXPECT_EQ(std::string(path), before);  // restored after the walk
  EXPECT_TRUE(lume_test::folder_exists(install_folder_ + "one\\two"));
  EXPECT_FALSE(lume_test::folder_exists(install_folder_ + "one\\two\\three.txt"));
  EXPECT_FALSE(lume_test::file_exists(install_folder_ + "one\\two\\three.txt"));

  std::string too_long = install_folder_ + std::string(MAX_PATH, 'x') + "\\f.txt";
  EXPECT_EQ(open_output_file(too_long.c_str()), nullptr);
}
