// The install sequence run inside the test process, from the folder choice
// on, against installer files made here: a block of stub bytes with the
// payload behind it. The robot answers its boxes from a second thread.
// Outcomes that end the process are in install_probe_test and
// bad_installer_test; the unconfigured installer in archive_reader_test
// and bad_installer_test.
#include "installer/install_sequence.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/bounded_text.h"
#include "installer/config_block.h"
#include "installer/shared_state.h"
#include "payload/archive_reader.h"
#include "payload/payload_messages.h"
#include "robot/gui_robot.h"
#include "tests/support/random_bytes.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"
#include "tests/support/test_installer.h"
#include "uninstaller/uninstall_data.h"

using lume_robot::GuiRobot;
using lume_test::PayloadFile;
using lume_robot::SeenWindow;

using lume_robot::key_exists;
using lume_robot::registry_text;

namespace {



constexpr size_t kStubSize = 1536;

uint64_t ticks(const FILETIME& time) {
  return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class InstallSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    store_word(cancel_flag, LONG(0));
    store_word(pause_flag, LONG(0));
    store_word(status_dialog, HWND(nullptr));
    root_ = lume_test::fresh_test_folder(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    folder_ = root_ + "Hello App\\";
    installer_ = root_ + "setup.exe";
    title_ = "Lume install test " + std::to_string(GetCurrentProcessId());
    configure(title_, "");
  }

  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (LUME_UNINSTALL_KEY_PREFIX + title_).c_str());
    store_word(status_dialog, HWND(nullptr));
    store_word(cancel_flag, LONG(0));
    lume_test::remove_tree(root_.substr(0, root_.size() - 1));
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  void configure(const std::string& title, const std::string& run_after) {
    std::snprintf(config.PayloadOffset, sizeof config.PayloadOffset, "%zu", kStubSize);
    std::snprintf(config.AppTitle, sizeof config.AppTitle, "%s", title.c_str());
    std::snprintf(config.RunAfterInstall, sizeof config.RunAfterInstall, "%s", run_after.c_str());
    // No shortcuts: those are the end-to-end tests' business.
    config.StartMenuShortcuts[0].LinkName[0] = 0;
    config.DesktopShortcuts[0].LinkName[0] = 0;
    compose_setup_caption(setup_caption, config.AppTitle);
  }

  std::string key() const {
    return std::string(LUME_UNINSTALL_KEY_PREFIX) + config.AppTitle;
  }

  void write_installer(const std::vector<PayloadFile>& files, const std::vector<uint8_t>& stream) {
    std::vector<unsigned char> bytes(kStubSize, 'S');
    std::vector<unsigned char> payload = lume_test::payload_of(files, stream);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    ASSERT_TRUE(lume_test::write_file(installer_, bytes));
  }

  void write_installer(const std::vector<PayloadFile>& files) {
    write_installer(files, lume_test::compressed(lume_test::concatenated(files)));
  }

  // Runs the sequence into folder_ on this thread while the robot answers
  // every message box with its first button, noting them in order: the
  // sequence's own and those of the programs it starts. The progress dialog
  // is left alone.
  std::vector<SeenWindow> install() {
    EXPECT_TRUE(set_install_folder(folder_.c_str()));
    std::atomic<bool> done{false};
    std::vector<SeenWindow> boxes;
    std::thread answering([&] {
      while (!done) {
        for (const SeenWindow& box : robot_.find_all({"", "#32770"})) {
          if (!box.is_message_box()) continue;  // the progress dialog
          robot_.note("saw " + box.describe());
          boxes.push_back(box);
          robot_.press(box, box.button_ids().empty() ? IDOK : box.button_ids().front());
          robot_.wait_gone(box.handle, 5000);
        }
        Sleep(20);
      }
    });
    install_into_folder(installer_.c_str());
    done = true;
    answering.join();
    return boxes;
  }

  std::string data_file() { return lume_test::read_file(folder_ + "lumeuins.dat"); }

  std::string records_for(const std::vector<std::string>& names) {
    std::string text = std::string(config.AppTitle) + "\n";
    for (const std::string& name : names) {
      text += '0';
      text += folder_;
      text += name;
      text += '\n';
    }
    return text;
  }

  void expect_single_error(const std::vector<SeenWindow>& boxes, const std::string& message) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Setup");
    EXPECT_EQ(boxes[0].message(), "Error: " + message);
  }

  std::string root_, folder_, installer_, title_;
  GuiRobot robot_;
};

const std::vector<PayloadFile> kProduct = {
    {"hello.exe", "MZ pretend program", 0x01D0000000000001ull, 0x01D1000000000002ull,
     0x01D2000000000003ull},
    {"empty in the middle.txt", ""},
    {"doc\\en\\guide.txt", "Read the guide.\r\n"},
    {"doc\\empty.txt", "", 0x01C0000000000001ull, 0x01C1000000000002ull, 0x01C2000000000003ull},
    {"data\\table.bin", std::string(3000, '\x7F')},
    {"last empty\\one.txt", ""},
    {"last empty\\two.txt", ""},
};

}  // namespace

TEST_F(InstallSequence, InstallsEveryFileThenRegistersTheUninstaller) {
  write_installer(kProduct);
  std::vector<SeenWindow> boxes = install();

  for (const PayloadFile& f : kProduct) {
    WIN32_FILE_ATTRIBUTE_DATA times = {};
    ASSERT_TRUE(GetFileAttributesExA((folder_ + f.name).c_str(), GetFileExInfoStandard, &times))
        << f.name;
    EXPECT_EQ(ticks(times.ftLastAccessTime), f.last_access) << f.name;
    EXPECT_EQ(ticks(times.ftLastWriteTime), f.last_write) << f.name;
    EXPECT_EQ(lume_test::read_file(folder_ + f.name), f.contents) << f.name;
  }
  std::vector<std::string> names;
  for (const PayloadFile& f : kProduct) names.push_back(f.name);
  EXPECT_EQ(data_file(), records_for(names) + "3" + key() + "\n");

  EXPECT_EQ(lume_test::read_file(folder_ + "lumeuins.exe"),
            lume_test::read_file(lume_test::windows_path(LUME_UNINSTALLER_EXE)));
  EXPECT_EQ(registry_text(key(), "DisplayName"), title_);
  EXPECT_EQ(registry_text(key(), "UninstallString"), "\"" + folder_ + "lumeuins.exe\"");

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, title_ + " Setup");
  EXPECT_EQ(boxes[0].message(), "Installation Complete.");
  EXPECT_EQ(uninstall_data_file, nullptr);
  EXPECT_EQ(installer_file, nullptr);
}

TEST_F(InstallSequence, FilesSpanningTheDecodersFourMebibyteChunksComeOutWhole) {
  std::vector<PayloadFile> files = {
      {"big.bin", lume_test::random_bytes(4194304 - 10, 3)}, {"across.bin", std::string(25, 'a')}, {"b.txt", "b"},
      {"c.txt", ""}, {"d.txt", "ddd"}};
  write_installer(files);
  std::vector<SeenWindow> boxes = install();
  for (const PayloadFile& f : files)
    EXPECT_TRUE(lume_test::read_file(folder_ + f.name) == f.contents) << f.name;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message(), "Installation Complete.");
}

TEST_F(InstallSequence, AStreamThatEndsAtAFileBoundaryIsAnIncompleteFile) {
  // The stream's end marker comes where the last file with contents would
  // begin; a cut inside a file would fail that file's check value instead.
  std::string all = lume_test::concatenated(kProduct);
  write_installer(kProduct, lume_test::compressed(all.substr(0, all.size() - 3000)));
  expect_single_error(install(), kIncompleteMessage);
  EXPECT_EQ(lume_test::read_file(folder_ + "doc\\en\\guide.txt"), kProduct[2].contents);
  EXPECT_FALSE(lume_test::file_exists(folder_ + "data\\table.bin"));
  EXPECT_FALSE(lume_test::file_exists(folder_ + "last empty\\one.txt"));
  EXPECT_EQ(data_file(), records_for({"hello.exe", "empty in the middle.txt", "doc\\en\\guide.txt"}));
  EXPECT_FALSE(key_exists(key()));
}

TEST_F(InstallSequence, RefusesANameThatDoesNotFitBelowTheChosenFolder) {
  // The folder and the name make 260 characters: one more than a path holds.
  std::string name(kPathCapacity - folder_.size(), 'n');
  write_installer({{"first.txt", "1"}, {name, "2"}});
  expect_single_error(install(), kCorruptedMessage);
  EXPECT_EQ(data_file(), title_ + "\n");
  EXPECT_FALSE(lume_test::file_exists(folder_ + "first.txt"));
}

TEST_F(InstallSequence, WaitsForThePostInstallProgramBeforeTheCompletionBox) {
  // The installed uninstaller, given a path with no data file beside it,
  // shows its error box and ends: the installer must wait for that.
  configure(title_, "lumeuins.exe elsewhere");
  write_installer(kProduct);
  std::vector<SeenWindow> boxes = install();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "Uninstall");
  EXPECT_NE(boxes[0].process_id, GetCurrentProcessId());
  EXPECT_EQ(boxes[1].message(), "Installation Complete.");
}

TEST_F(InstallSequence, AMissingPostInstallProgramLeadsStraightToCompletion) {
  configure(title_, "no such program.exe /quiet");
  write_installer(kProduct);
  std::vector<SeenWindow> boxes = install();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message(), "Installation Complete.");
}

TEST_F(InstallSequence, ATitleTooLongForADataLineIsCutAndNotRegistered) {
  std::string title(287, 'T');
  title[260] = '0';  // would read as a file record if the line spilled over
  configure(title, "");
  write_installer({{"a.txt", "a"}});
  std::vector<SeenWindow> boxes = install();
  EXPECT_EQ(data_file(), title.substr(0, 260) + "\n0" + folder_ + "a.txt\n");
  EXPECT_FALSE(key_exists(key()));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message(), "Installation Complete.");
}

TEST_F(InstallSequence, AnEmptyTitleRegistersNothing) {
  configure("", "");
  write_installer({{"a.txt", "a"}});
  install();
  EXPECT_EQ(data_file(), "\n0" + folder_ + "a.txt\n");
  EXPECT_EQ(registry_text(lume_robot::installed_programs_key(), "DisplayName"), "");
}

TEST_F(InstallSequence, RefusesAFolderWithoutRoomForItsFiles) {
  EXPECT_TRUE(set_install_folder("C:\\Apps"));
  EXPECT_STREQ(install_folder, "C:\\Apps\\");
  EXPECT_TRUE(set_install_folder("C:\\"));
  EXPECT_STREQ(install_folder, "C:\\");
  EXPECT_TRUE(set_install_folder(("C:\\" + std::string(255, 'f')).c_str()));  // 258 + '\\'
  EXPECT_FALSE(set_install_folder(("C:\\" + std::string(256, 'f')).c_str()));
  EXPECT_STREQ(install_folder, "");

  write_installer({{"a.txt", "a"}});
  std::vector<SeenWindow> boxes;
  std::thread answering([&] {
    std::optional<SeenWindow> box = robot_.answer_message_box({"Setup", "", GetCurrentProcessId()}, IDOK);
    if (box) boxes.push_back(*box);
  });
  install_into_folder(installer_.c_str());
  answering.join();
  expect_single_error(boxes, LUME_CANNOT_CREATE_UNINSTALLER);
}
