// Where the product executables let the system look for a DLL named
// without a folder.
#pragma once

// From here on, such a DLL is taken from the system folder only: never
// from the program's own folder (an installer runs from a Downloads folder,
// the uninstaller's copy from the temporary folder, where any program of
// the user can put a DLL) nor from the current folder. lume_start calls it
// before anything else, so that no DLL loaded later by a dialog, the shell
// or COM can be one planted there; the DLLs the loader resolved before it
// are the ones Windows always takes from the system folder, and the common
// controls, which the manifest takes from the system's side-by-side store.
void restrict_dll_search();
