// Reading whole files: every reader of the tool fails alike, naming the file
// and the reason.
#include "tools/lume/host/host_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "tests/host/lume_test_files.h"
#include "tools/lume/base/error.h"

using namespace lume;
namespace fs = std::filesystem;

namespace {

// The message reading path fails with, or "" when it succeeds.
std::string reading(const fs::path& path) {
  return lume_test::error_text([&] { host::read_whole_file(path); });
}

}  // namespace

TEST(ReadWholeFile, ReadsEveryByteWhetherTheFileTellsItsSizeOrNot) {
  lume_test::ScratchFolder folder;
  std::string contents;
  for (int k = 0; contents.size() < (3u << 20) + 5; ++k) contents += std::to_string(k);
  auto read_as_text = [](const fs::path& path) {
    std::vector<uint8_t> bytes = host::read_whole_file(path);
    return std::string(bytes.begin(), bytes.end());
  };
  lume_test::write_file(folder / "file", contents);
  EXPECT_TRUE(read_as_text(folder / "file") == contents);
  lume_test::write_file(folder / "empty", "");
  EXPECT_EQ(read_as_text(folder / "empty"), "");

  // A pipe has no size: it is read in chunks up to its end.
  ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
  std::thread writer([&] { lume_test::write_file(folder / "pipe", contents); });
  std::string piped = read_as_text(folder / "pipe");
  writer.join();
  EXPECT_TRUE(piped == contents);
}

TEST(ReadWholeFile, NamesTheFileAndTheReason) {
  lume_test::ScratchFolder folder;
  EXPECT_EQ(reading(folder / "none"),
            (folder / "none").string() + ": cannot open: No such file or directory");
  EXPECT_EQ(reading(folder.path()), folder.path().string() + ": is a folder");
  // The kernel refuses reads of a process's unmapped first page.
  EXPECT_EQ(reading("/proc/self/mem"), "/proc/self/mem: read failed: Input/output error");
}

// A source file is read only as the walk found it: of its size, no link,
// and the same file (a swapped folder on the way would give another one);
// its bytes come whole, in pieces.
TEST(ReadFileInPieces, HandsOverEveryByteOfTheFileTheWalkFoundAndNoOther) {
  lume_test::ScratchFolder folder;
  lume_test::write_file(folder / "other/a", "abcd");
  std::string contents(host::kReadPiece * 2 + 5, 'x');
  for (size_t k = 0; k < contents.size(); k += 997) contents[k] = char(k);
  std::string got;
  auto read = [&](const fs::path& path, uint64_t size) {
    const host::FileIdentity walked = host::file_identity(folder / "a");
    got.clear();
    return lume_test::error_text([&] {
      host::read_file_in_pieces(
          path, size, [&](std::span<const uint8_t> piece) { got.append(piece.begin(), piece.end()); },
          &walked);
    });
  };
  for (size_t size : {size_t(0), host::kReadPiece, host::kReadPiece * 2 + 5}) {
    lume_test::write_file(folder / "a", contents.substr(0, size));
    EXPECT_EQ(read(folder / "a", size), "");
    EXPECT_EQ(got, contents.substr(0, size)) << size;
    for (uint64_t told : {uint64_t(size) + 1, uint64_t(size) - 1}) {
      if (told == UINT64_MAX) continue;  // no size below 0
      EXPECT_EQ(read(folder / "a", told),
                (folder / "a").string() + ": the file changed while it was read");
    }
  }
  fs::create_symlink(folder / "a", folder / "link");
  EXPECT_EQ(read(folder / "link", 4),
            (folder / "link").string() + ": a symbolic link now; it is not followed");
  EXPECT_EQ(read(folder / "other/a", 4),
            (folder / "other/a").string() + ": another file now than when the folder was walked");
}

// Every byte of the Windows code pages that the system defines, alone, to
// UTF-8 and back: a converter that holds a letter back for a combining mark
// that may follow (1258) must still give it out at the end.
TEST(CodePages, EveryDefinedByteComesBackAlone) {
  for (int code_page = 1250; code_page <= 1258; ++code_page) {
    for (int b = 0x20; b < 0x100; ++b) {
      const std::string byte(1, char(b));
      std::optional<std::string> utf8 = host::from_code_page(byte, code_page);
      EXPECT_TRUE(utf8 || b >= 0x80) << code_page << " " << b;
      if (utf8) EXPECT_EQ(host::to_code_page(*utf8, code_page), byte) << code_page << " " << b;
    }
  }
}
