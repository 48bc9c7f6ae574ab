// Whole installations for end-to-end tests: an installer made in the test
// from the stub its tree built (PE32 or PE32+), run by the robot through
// every window it shows, the installation checked on disk and in the
// registry, removed by its own uninstaller, and the disk and registry
// checked again. Whatever a case made (folders, Start-menu group, desktop
// links, keys) is removed when it ends, passed or failed.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "robot/gui_robot.h"
#include "robot/install_driver.h"
#include "tests/support/test_installer.h"
#include "uninstaller/uninstall_data.h"

namespace lume_test {

// The robot's names, which every installation case works with.
using lume_robot::GuiRobot;
using lume_robot::InstallChoices;
using lume_robot::InstallRun;
using lume_robot::InstallStage;
using lume_robot::SeenWindow;

inline constexpr char kUninstallKeyPrefix[] = LUME_UNINSTALL_KEY_PREFIX;

// A product of count files in nested folders, the same for the same seed:
// text and binary contents of many sizes, empty files (the last one among
// them), names with characters of code page 1252, and times of their own.
// bulk bytes of hard-to-compress data are spread over the files on top.
std::vector<PayloadFile> generated_product(unsigned count, uint32_t seed, size_t bulk = 0);

// The stub as this tree built it (PE32 or PE32+), unconfigured.
std::string shipped_stub();

// The post-install helper's bytes (tests/windows/post_install_helper.cpp).
std::string post_install_helper();

// The relative paths of every file below folder, folders with a trailing
// backslash; empty when folder does not exist.
std::set<std::string> tree_listing(const std::string& folder);

// The lines of a text, without their line feeds.
std::vector<std::string> lines_of(const std::string& text);

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The stub configured with settings_; with the payload of files behind it.
  std::vector<unsigned char> configured_stub();
  std::vector<unsigned char> installer_image(const std::vector<PayloadFile>& files,
                                             int level = lume::codec::kFastestLevel);
  void write_installer(const std::vector<unsigned char>& image);
  void make_installer(const std::vector<PayloadFile>& files,
                      int level = lume::codec::kFastestLevel) {
    write_installer(installer_image(files, level));
  }

  // Runs installer_, typing folder_ into the folder dialog unless the
  // choices say otherwise.
  InstallRun install(InstallChoices choices = {});

  // A completed installation of files: exit code 0, the completion box
  // last; every file with its bytes and its last-access and last-write
  // times (except the files in accessed, which the installation itself
  // read); nothing else in the folder but "lumeuins.exe", equal to the
  // embedded image, and "lumeuins.dat", checked line by line; the
  // registration; each shortcut as the shell reads it back.
  void expect_complete(const InstallRun& run, const std::vector<PayloadFile>& files,
                       bool with_desktop, const std::set<std::string>& accessed = {});
  void expect_files(const std::vector<PayloadFile>& files,
                    const std::set<std::string>& accessed = {});
  void expect_shortcuts(bool with_desktop);
  // The gradient on the screen, in the background window behind dialog.
  void expect_gradient(const SeenWindow& dialog, const std::string& screenshot_name);

  // An ended installation that made files[0, count) and nothing else: each
  // of them exists and is recorded in order; no file behind them, no
  // shortcut, no registration, no post-install program.
  void expect_prefix_only(const std::vector<PayloadFile>& files, size_t count);

  // The uninstaller as the list of installed programs starts it (or from
  // the folder when there is no registration), every box answered Yes/OK.
  void uninstall();
  // What uninstall() must leave: none of the recorded paths, no
  // registration, and in folder_ nothing but kept (relative paths as
  // tree_listing gives them); nothing at all when kept is empty.
  void expect_removed(const std::vector<std::string>& records,
                      const std::set<std::string>& kept = {});
  void uninstall_and_expect_nothing_left() {
    std::vector<std::string> records = data_lines();
    ASSERT_NO_FATAL_FAILURE(uninstall());
    expect_removed(records);
  }

  std::vector<std::string> data_lines() const;
  std::string record(char kind, const std::string& text) const { return kind + text; }
  std::string file_record(const std::string& name) const { return "0" + folder_ + name; }
  std::string start_menu_link(const ShortcutSetting& row) const;
  std::string desktop_link(const ShortcutSetting& row) const;
  // The rows of a table in use, up to the first empty one.
  static std::vector<ShortcutSetting> rows_in_use(const std::vector<ShortcutSetting>& table);
  std::string post_install_log() const;

  GuiRobot robot_;
  InstallerSettings settings_;
  std::string tag_;        // unique to this case, for names outside root_
  std::string root_;       // the case's own folder: the installer, logs
  std::string folder_;     // the installation folder, ending in '\\'
  std::string installer_;  // root_ + "setup.exe"
  std::string key_;        // the registration the settings' title gives
  std::string programs_, desktop_;
  std::vector<std::string> extra_keys_;  // removed at the end, last first
};

}  // namespace lume_test
