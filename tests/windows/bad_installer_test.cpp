// Installers that cannot install, end to end through the shipped
// stub: unconfigured, cut short, damaged, refused by the payload reader,
// or blocked by a file in the way. Each ends with its message and exit
// code and leaves only what it made before the failure, recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/installation_fixture.h"
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
  files.insert(files.begin() + 3, PayloadFile("data\\noise.bin", std::string(300000, '\0')));
  uint32_t state = 7;
  for (char& c : files[3].contents) {
    state = state * 1103515245u + 12345u;
    c = char(state >> 24);
  }
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

// Where an installer is cut: up to the end of the directory the reader
// finds it incomplete before extracting anything; inside the stream the
// shortfall shows as a file that fails its check or as missing bytes.
enum class Cut { at_the_payload, in_the_header, in_the_directory, in_the_stream, near_the_end };

class CutInstaller : public BadInstaller, public ::testing::WithParamInterface<Cut> {};

TEST_P(CutInstaller, EndsWithTheIncompleteOrCorruptedMessage) {
  std::vector<unsigned char> image = installer_image(files_);
  size_t stub = configured_stub().size();
  uint32_t directory = uint32_t(image[stub + 8]) | uint32_t(image[stub + 9]) << 8 |
                       uint32_t(image[stub + 10]) << 16 | uint32_t(image[stub + 11]) << 24;
  size_t stream = stub + 12 + directory;
  size_t cut = 0;
  switch (GetParam()) {
    case Cut::at_the_payload: cut = stub; break;
    case Cut::in_the_header: cut = stub + 6; break;
    case Cut::in_the_directory: cut = stub + 12 + directory / 2; break;
    case Cut::in_the_stream: cut = stream + (image.size() - stream) / 3; break;
    // Not the last bytes: they hold only the end marker, which missing
    // bytes, read as zero bits, restore.
    case Cut::near_the_end: cut = image.size() - 100; break;
  }
  image.resize(cut);
  write_installer(image);
  InstallRun run = install();
  if (cut <= stream) {
    expect_failure(run, kIncomplete, 0);
    EXPECT_EQ(data_lines().size(), 1u) << "a file extracted from a cut directory";
  } else if (run.exit_code == std::optional<DWORD>(1)) {
    expect_failure(run, kCorrupted, 1);
  } else {
    expect_failure(run, kIncomplete, 0);
  }
}

std::string cut_name(const ::testing::TestParamInfo<Cut>& info) {
  const char* const names[] = {"AtThePayload", "InTheHeader", "InTheDirectory", "InTheStream",
                               "NearTheEnd"};
  return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Cuts, CutInstaller,
                         ::testing::Values(Cut::at_the_payload, Cut::in_the_header,
                                           Cut::in_the_directory, Cut::in_the_stream,
                                           Cut::near_the_end),
                         cut_name);

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
