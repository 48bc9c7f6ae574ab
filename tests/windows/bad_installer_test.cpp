// Installers that cannot install, end to end through the shipped
// stub: unconfigured, cut short, damaged, refused by the payload reader,
// or blocked by a file in the way. Each ends with its message and exit
// code and leaves only what it made before the failure, recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/installation_fixture.h"
#include "tests/support/random_bytes.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"

using lume_robot::InstallRun;
using lume_test::PayloadFile;

namespace {

const char kIncomplete[] =
    "Error: This is an incomplete installation file\n(possibly from an incomplete download).";
const char kCorrupted[] = "Error: This is a corrupted installation file.";

std::vector<PayloadFile> some_files() {
  std::vector<PayloadFile> files = lume_test::generated_product(12, 7);
  files.insert(files.begin() + 3,
               PayloadFile("data\\noise.bin", lume_test::random_bytes(300000, 7)));
  return files;
}

class BadInstaller : public lume_test::InstallationTest {
 protected:
  void SetUp() override {
    lume_test::InstallationTest::SetUp();
    // Shortcuts that must never appear; no desktop rows, so no question
    // stands between the folder and the extraction.
    settings_.start_menu = {{"Program.lnk", "program.exe"}};
    files_ = some_files();
  }

  std::string question() const {
    return settings_.title + " will be installed. Do you wish to continue?";
  }

  // The installer ended with the error box alone after the start question
  // and the given exit code, and left the files it recorded and nothing
  // else.
  void expect_failure(const InstallRun& run, const std::string& message, DWORD exit_code) {
    EXPECT_EQ(run.exit_code, std::optional<DWORD>(exit_code));
    EXPECT_EQ(run.messages(), (std::vector<std::string>{question(), message}));
    if (!run.boxes.empty()) {
      EXPECT_EQ(run.boxes.back().caption, "Setup");
    }
    std::vector<std::string> records = data_lines();
    ASSERT_FALSE(records.empty());
    expect_prefix_only(files_, records.size() - 1);
  }

  std::vector<PayloadFile> files_;
};

TEST_F(BadInstaller, AnUnconfiguredStubLeavesTheUninstallerAndATitleOnlyDataFile) {
  std::string stub = lume_test::shipped_stub();
  write_installer(std::vector<unsigned char>(stub.begin(), stub.end()));
  InstallRun run = install();
  // A slot that still holds its key is taken as its value.
  const std::string title = "$$ApplicationTitle";
  EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
  EXPECT_EQ(run.messages(),
            (std::vector<std::string>{title + " will be installed. Do you wish to continue?",
                                      "Error: Unconfigured installation file."}));
  EXPECT_EQ(lume_test::read_file(folder_ + "lumeuins.dat"), title + "\n");
  EXPECT_EQ(lume_test::tree_listing(folder_),
            (std::set<std::string>{"lumeuins.dat", "lumeuins.exe"}));
  EXPECT_FALSE(lume_robot::key_exists(lume_test::kUninstallKeyPrefix + title));
  uninstall_and_expect_nothing_left();
}

// Cut inside the stream, the shortfall shows as a file that fails its
// check or as missing bytes. (Cuts up to the end of the directory are the
// payload reader's, in archive_reader_test.)
TEST_F(BadInstaller, AnInstallerCutInsideItsStreamEndsWithTheIncompleteOrCorruptedMessage) {
  std::vector<unsigned char> image = installer_image(files_);
  const size_t stub = configured_stub().size();
  image.resize(stub + (image.size() - stub) / 2);
  write_installer(image);
  InstallRun run = install();
  if (run.exit_code == std::optional<DWORD>(1)) {
    expect_failure(run, kCorrupted, 1);
  } else {
    expect_failure(run, kIncomplete, 0);
  }
}

TEST_F(BadInstaller, OneFlippedByteInTheStreamIsACorruptedFileAndExitCode1) {
  std::vector<unsigned char> image = installer_image(files_);
  // In the middle of the stream: inside the bytes of the noise file.
  image[image.size() - (image.size() - configured_stub().size()) / 2] ^= 0x10;
  write_installer(image);
  InstallRun run = install();
  expect_failure(run, kCorrupted, 1);
  std::vector<std::string> records = data_lines();
  EXPECT_LT(records.size() - 1, files_.size());
}

TEST_F(BadInstaller, AFileInUseThatCannotBeCreatedEndsTheInstallationWithExitCode1) {
  // Another program holds the payload's fourth file open, sharing nothing.
  std::string in_the_way = folder_ + files_[3].name;
  lume_test::make_folders(in_the_way.substr(0, in_the_way.rfind('\\')));
  ASSERT_TRUE(lume_test::write_file(in_the_way, "the user's"));
  HANDLE held = CreateFileA(in_the_way.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  make_installer(files_);
  InstallRun run = install();
  CloseHandle(held);
  EXPECT_EQ(run.exit_code, std::optional<DWORD>(1));
  EXPECT_EQ(run.messages(), (std::vector<std::string>{
                                question(), "Error: Cannot create file:\n    " + in_the_way}));
  EXPECT_EQ(data_lines(), (std::vector<std::string>{settings_.title, file_record(files_[0].name),
                                                    file_record(files_[1].name),
                                                    file_record(files_[2].name)}));
  EXPECT_TRUE(lume_test::read_file(in_the_way) == "the user's") << "the file in use was changed";
  for (size_t i = 4; i < files_.size(); ++i)
    EXPECT_FALSE(lume_test::file_exists(folder_ + files_[i].name)) << files_[i].name;
  EXPECT_FALSE(lume_robot::key_exists(key_));
  EXPECT_FALSE(lume_test::folder_exists(programs_ + "\\" + settings_.group));
}

TEST_F(BadInstaller, ANameReachingOutOfTheFolderIsRefusedBeforeAnythingIsExtracted) {
  files_ = {{"program.exe", "MZ"}, {"..\\escaped.txt", "out"}};
  make_installer(files_);
  InstallRun run = install();
  expect_failure(run, kCorrupted, 0);
  EXPECT_EQ(data_lines().size(), 1u);
  EXPECT_EQ(lume_test::tree_listing(root_),
            (std::set<std::string>{"setup.exe", "Product Folder\\", "Product Folder\\lumeuins.dat",
                                   "Product Folder\\lumeuins.exe"}));
}

}  // namespace
