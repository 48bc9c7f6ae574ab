// The start-up routine of the stub and the uninstaller, in this process:
// lume_planted.dll lies beside this test as a DLL may lie beside an
// installer in a Downloads folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/dll_search.h"

TEST(ProgramStart, APlantedDllLoadsByItsBareNameOnlyUntilTheSearchIsRestricted) {
  HMODULE planted = LoadLibraryA("lume_planted.dll");
  ASSERT_NE(planted, nullptr) << "the test DLL must lie beside this program";
  FreeLibrary(planted);

  restrict_dll_search();
  EXPECT_EQ(LoadLibraryA("lume_planted.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  // What the dialogs, the shell and COM load later still comes from the
  // system folder.
  EXPECT_NE(LoadLibraryA("mpr.dll"), nullptr);
}
