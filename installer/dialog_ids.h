// Names and numbers of the installer's resources and of their controls,
// shared by resources/installer.rc and the code that loads and drives them.
// Plain defines: the resource compiler reads this file too.
#pragma once

#define IDD_STATUS_DIALOG "StatusDialog"
#define IDD_DIR_SELECT_DIALOG "DirSelectDialog"
#define IDB_FOLDER_IMAGES 2001

// Directory selection dialog; the folder tree is created at run time.
#define IDC_DIR_PROMPT 2005
#define IDC_DIR_EDIT 2006
#define IDC_DIR_OK 2007
#define IDC_DIR_CANCEL 2008
#define IDC_DIR_TREE 2009
#define IDC_DIR_REASON 2010  // why OK is disabled, beside it

// Progress dialog.
#define IDC_STATUS_TEXT 2020
#define IDC_STATUS_CANCEL 2021
