#include "installer/folder_tree.h"

#include "common/bounded_text.h"
#include "installer/dialog_ids.h"
#include "installer/shared_state.h"

// Pictures in the strip of bitmap IDB_FOLDER_IMAGES.
enum {
  kFixedDriveImage = 0,
  kNetworkDriveImage = 1,
  kClosedFolderImage = 3,
  kSelectedFolderImage = 4,
  kImageWidth = 16,
};

// Every level of a path adds at least a character and a backslash, so a
// path that fits kFolderPathSize has fewer levels than this.
enum { kMaxDepth = kFolderPathSize / 2 };

static HTREEITEM next_item(HWND tree, HTREEITEM item, UINT relation) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The item's text in text (kFolderTextSize bytes); false when it cannot be read.
static bool item_text(HWND tree, HTREEITEM item, char* text) {
  TVITEMA view = {};
  view.mask = TVIF_TEXT;
  view.hItem = item;
  view.pszText = text;
  view.cchTextMax = kFolderTextSize;
  text[0] = 0;
  if (SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&view)) == 0) return false;
  // The control may answer with a pointer of its own instead of filling ours.
  return view.pszText == text || copy_text(text, kFolderTextSize, view.pszText);
}

static HTREEITEM insert_item(HWND tree, HTREEITEM parent, const char* text, int image,
                             int selected_image) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_SORT;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
  insert.item.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.iImage = image;
  insert.item.iSelectedImage = selected_image;
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

static bool is_dot_entry(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

HWND create_folder_tree(HWND dialog) {
  // In dialog units: the band between the edit box and the buttons. Set
  // field by field: this compiler keeps a braced copy in a writable section
  // of its own, which costs the stub a file block.
  RECT area;
  area.left = 10;
  area.top = 50;
  area.right = 190;
  area.bottom = 190;
  MapDialogRect(dialog, &area);
  // Version 6 of the common controls, which the manifest asks for,
  // registers its classes only when told to.
  INITCOMMONCONTROLSEX classes;
  classes.dwSize = sizeof classes;
  classes.dwICC = ICC_TREEVIEW_CLASSES;
  InitCommonControlsEx(&classes);
  HWND tree = CreateWindowExA(
      WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
      WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
          TVS_SHOWSELALWAYS,
      area.left, area.top, area.right - area.left, area.bottom - area.top, dialog,
      reinterpret_cast<HMENU>(IDC_DIR_TREE), module_instance, nullptr);
  if (tree == nullptr) return nullptr;
  HIMAGELIST images = ImageList_LoadImageA(module_instance, MAKEINTRESOURCEA(IDB_FOLDER_IMAGES),
                                           kImageWidth, 0, CLR_DEFAULT, IMAGE_BITMAP, 0);
  if (images != nullptr) {
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
  }
  add_drive_roots(tree);
  return tree;
}

void add_drive_roots(HWND tree) {
  char root[] = "C:\\";
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    root[0] = letter;
    UINT type = GetDriveTypeA(root);
    if (type != DRIVE_FIXED && type != DRIVE_REMOTE) continue;
    char name[] = {letter, ':', 0};
    add_subfolders(tree, nullptr, name, type);
  }
}

void add_subfolders(HWND tree, HTREEITEM parent, const char* path, UINT drive_type) {
  if (parent == nullptr) {
    int image = drive_type == DRIVE_REMOTE ? kNetworkDriveImage : kFixedDriveImage;
    parent = insert_item(tree, TVI_ROOT, path, image, image);
    if (parent == nullptr) return;
  }
  // A folder whose path does not fit cannot be listed: it keeps no children.
  char folder[kFolderPathSize];
  char pattern[kFolderPathSize + 3];
  if (!join_text(folder, sizeof folder, path, ends_with_backslash(path) ? "" : "\\") ||
      !join_text(pattern, sizeof pattern, folder, "*.*"))
    return;
  unsigned folder_length = text_length(folder);

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const char* name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || is_dot_entry(name)) continue;
    // The child's own path, with its backslash, must fit as a whole; a
    // shortened name could be another folder's.
    if (folder_length + text_length(name) + 1 >= kFolderPathSize) continue;
    if (has_child_named(tree, parent, name)) continue;
    insert_item(tree, parent, name, kClosedFolderImage, kSelectedFolderImage);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool has_child_named(HWND tree, HTREEITEM parent, const char* name) {
  char text[kFolderTextSize];
  for (HTREEITEM child = next_item(tree, parent, TVGN_CHILD); child != nullptr;
       child = next_item(tree, child, TVGN_NEXT)) {
    if (item_text(tree, child, text) && lstrcmpiA(text, name) == 0) return true;
  }
  return false;
}

bool item_path(HWND tree, HTREEITEM item, char* buffer) {
  buffer[0] = 0;
  HTREEITEM chain[kMaxDepth];
  int depth = 0;
  for (; item != nullptr; item = next_item(tree, item, TVGN_PARENT)) {
    if (depth == kMaxDepth) return false;
    chain[depth++] = item;
  }
  if (depth == 0) return false;
  char text[kFolderTextSize];
  while (depth > 0) {
    // An unreadable text would make the path name another folder.
    if (!item_text(tree, chain[--depth], text) || !append_text(buffer, kFolderPathSize, text) ||
        !append_text(buffer, kFolderPathSize, "\\")) {
      buffer[0] = 0;
      return false;
    }
  }
  return true;
}

// Keeps the level below the visible one present as an item opens.
static void list_grandchildren(HWND tree, HTREEITEM item) {
  char path[kFolderPathSize];
  for (HTREEITEM child = next_item(tree, item, TVGN_CHILD); child != nullptr;
       child = next_item(tree, child, TVGN_NEXT)) {
    if (item_path(tree, child, path)) add_subfolders(tree, child, path, kFolderItemType);
  }
}

// As an item closes, the level below its children goes; opening it again
// reads that level afresh from disk.
static void forget_grandchildren(HWND tree, HTREEITEM item) {
  for (HTREEITEM child = next_item(tree, item, TVGN_CHILD); child != nullptr;
       child = next_item(tree, child, TVGN_NEXT)) {
    while (HTREEITEM grandchild = next_item(tree, child, TVGN_CHILD)) {
      SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(grandchild));
    }
  }
}

void on_tree_notify(HWND tree, const NMHDR* notification) {
  const NMTREEVIEWA* change = reinterpret_cast<const NMTREEVIEWA*>(notification);
  if (notification->code == TVN_SELCHANGEDA) {
    // No item, or one whose path does not fit: the edit box is emptied,
    // which also disables OK.
    char path[kFolderPathSize];
    item_path(tree, change->itemNew.hItem, path);
    SetDlgItemTextA(GetParent(tree), IDC_DIR_EDIT, path);
  } else if (notification->code == TVN_ITEMEXPANDINGA) {
    if (change->action & TVE_EXPAND) {
      list_grandchildren(tree, change->itemNew.hItem);
    } else {
      forget_grandchildren(tree, change->itemNew.hItem);
    }
  }
}

void open_tree_at_path(const char* path, HTREEITEM item, HWND tree) {
  char component[kFolderTextSize];
  char text[kFolderTextSize];
  for (;;) {
    if (*path == 0) {
      SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
      SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
      return;
    }
    unsigned length = 0;
    while (path[length] != 0 && path[length] != '\\') ++length;
    // A component too long for an item's text cannot match one.
    bool usable = copy_text_prefix(component, sizeof component, path, length);
    const char* rest = path[length] == '\\' ? path + length + 1 : path + length;

    // Selecting the level's first item opens its parent, which lists the
    // level below.
    HTREEITEM first = item != nullptr ? next_item(tree, item, TVGN_CHILD)
                                      : next_item(tree, nullptr, TVGN_ROOT);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
    HTREEITEM match = nullptr;
    for (HTREEITEM level = first; usable && level != nullptr && match == nullptr;
         level = next_item(tree, level, TVGN_NEXT)) {
      if (item_text(tree, level, text) && lstrcmpiA(text, component) == 0) match = level;
    }
    if (match == nullptr) return;
    item = match;
    path = rest;
  }
}
