// Installers built from the probe (the stub's code and flags with a test
// entry) run as processes: the two ways a damaged stream ends the process
// with 1, a file that fails its check and code tables the decoder refuses.
// (A file that cannot be created, the other way, is in bad_installer_test.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "robot/gui_robot.h"
#include "tests/support/stream_writer.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"
#include "tests/support/test_installer.h"
#include "uninstaller/uninstall_data.h"

using lume_robot::ChildProcess;
using lume_robot::GuiRobot;
using lume_test::PayloadFile;
using lume_robot::SeenWindow;

using lume_robot::key_exists;

namespace {

class InstallProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = lume_test::fresh_test_folder(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    folder_ = root_ + "Hello App\\";
    title_ = "Lume probe test " + std::to_string(GetCurrentProcessId());
    key_ = LUME_UNINSTALL_KEY_PREFIX + title_;
  }

  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
    lume_test::remove_tree(root_.substr(0, root_.size() - 1));
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  void write_installer(const std::vector<PayloadFile>& files, const std::vector<uint8_t>& stream) {
    std::string probe = lume_test::read_file(lume_test::windows_path(LUME_INSTALL_PROBE_EXE));
    ASSERT_FALSE(probe.empty());
    std::vector<unsigned char> image(probe.begin(), probe.end());
    ASSERT_TRUE(lume_test::configure_stub(image, title_, "unused", ""));
    std::vector<unsigned char> payload = lume_test::payload_of(files, stream);
    image.insert(image.end(), payload.begin(), payload.end());
    ASSERT_TRUE(lume_test::write_file(root_ + "setup.exe", image));
  }

  void write_installer(const std::vector<PayloadFile>& files) {
    write_installer(files, lume_test::compressed(lume_test::concatenated(files)));
  }

  // Runs the installer into folder_, answering each box with its first
  // button; the boxes it showed, in order, and its exit code.
  std::optional<DWORD> run_installer(std::vector<SeenWindow>* boxes) {
    // The folder without its final backslash, which would escape the quote.
    std::string folder = folder_.substr(0, folder_.size() - 1);
    ChildProcess setup = ChildProcess::start(lume_test::quoted(root_ + "setup.exe") + " " +
                                             lume_test::quoted(folder));
    EXPECT_TRUE(setup.started());
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 30000) {
      if (std::optional<DWORD> code = setup.wait_exit(0)) return code;
      for (const SeenWindow& box : robot_.find_all({"", "#32770", setup.id()})) {
        if (!box.is_message_box()) continue;  // the progress dialog
        robot_.note("saw " + box.describe());
        boxes->push_back(box);
        robot_.press(box, box.button_ids().front());
        robot_.wait_gone(box.handle, 5000);
      }
      Sleep(20);
    }
    return std::nullopt;
  }

  std::string record(const std::string& name) {
    std::string line(1, '0');
    line.append(folder_).append(name).push_back('\n');
    return line;
  }

  std::string root_, folder_, title_, key_;
  GuiRobot robot_;
};

}  // namespace

TEST_F(InstallProbe, ACheckValueMismatchEndsTheInstallationAtThatFile) {
  std::vector<PayloadFile> files = {{"a.txt", "good"}, {"b.txt", "bad"}, {"c.txt", "never"}};
  files[1].check = 0x12345678u;
  write_installer(files);
  std::vector<SeenWindow> boxes;
  EXPECT_EQ(run_installer(&boxes), 1u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Setup");
  EXPECT_EQ(boxes[0].message(), "Error: This is a corrupted installation file.");
  EXPECT_EQ(lume_test::read_file(folder_ + "a.txt"), "good");
  EXPECT_FALSE(lume_test::file_exists(folder_ + "c.txt"));
  // The data file was flushed before the process ended: the failing file's
  // record is there, so that the uninstaller removes it too.
  EXPECT_EQ(lume_test::read_file(folder_ + "lumeuins.dat"),
            title_ + "\n" + record("a.txt") + record("b.txt"));
  EXPECT_FALSE(key_exists(key_));
}

TEST_F(InstallProbe, InvalidCodeTablesAreACorruptedFile) {
  // 256 literal codes of 7 bits: more codes than 7 bits can tell apart.
  lume_test::BitWriter w;
  lume_test::Block block;
  for (unsigned s = 0; s < 256; ++s) block.symbol_lengths[s] = 7;
  block.single_slot = 0;
  block.items = {lume_test::Item::literal('x')};
  lume_test::put_block(w, block);
  write_installer({{"x.txt", "x"}}, w.bytes());
  std::vector<SeenWindow> boxes;
  EXPECT_EQ(run_installer(&boxes), 1u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message(), "Error: This is a corrupted installation file.");
}
