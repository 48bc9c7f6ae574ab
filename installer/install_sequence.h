// The install sequence: from the choice of folder to the completion box.
//
// Asks for the folder, writes the uninstaller and opens its data file,
// checks the payload behind the installer's own image, asks for desktop
// shortcuts, extracts the payload under the progress dialog, makes the
// shortcuts, registers the uninstaller, runs the post-install program and
// reports completion. Every outcome has been
// shown to the user (or was a silent cancel) when it returns; a file that
// cannot be created or a corrupted payload ends the process with status 1.
// Nothing is rolled back: what was written before a failure stays.
#pragma once

#include <windows.h>

#define LUME_CANNOT_CREATE_UNINSTALLER "Cannot create uninstall program."
#define LUME_CANNOT_CREATE_DATA_FILE "Cannot create uninstall data file."

// install_folder = the full form of chosen, ending in a backslash
// (install_folder.h). False, with install_folder empty, when that does not
// fit a path.
bool set_install_folder(const char* chosen);

// Everything after the folder choice, into install_folder. program_name is
// the name the installer was started by (argument 0).
void install_into_folder(const char* program_name);

// The whole sequence; owner is the background window.
void install_sequence(HWND owner, const char* program_name);
