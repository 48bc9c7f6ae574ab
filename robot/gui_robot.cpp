#include "robot/gui_robot.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <set>

// gdiplus.h needs windows.h (through gui_robot.h) and the min and max macros.
#include <gdiplus.h>

namespace lume_robot {

namespace {

constexpr int kPollMs = 20;
// How long the robot waits for a window's thread to answer a text message.
// Not SMTO_ABORTIFHUNG: Wine counts a thread as hung once it has not asked
// for a message for five seconds, so a box that appears after a long
// extraction, before its thread first asks, would read as empty.
constexpr UINT kTextTimeoutMs = 2000;

std::string class_of(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// WM_GETTEXT works across processes where GetWindowText does not; the
// time-out keeps a hung window from hanging the robot.
std::string text_of(HWND window) {
  char text[4096] = {};
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_NORMAL, kTextTimeoutMs, &result);
  return text;
}

BOOL CALLBACK collect_window(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

bool matches(const SeenWindow& seen, const WindowQuery& query) {
  return (query.caption.empty() || seen.caption == query.caption) &&
         (query.class_name.empty() || seen.class_name == query.class_name) &&
         (query.process_id == 0 || seen.process_id == query.process_id);
}

std::string describe_query(const WindowQuery& query) {
  std::string text = "'" + query.caption + "'";
  if (!query.class_name.empty()) text += " of class " + query.class_name;
  if (query.process_id != 0) text += " of process " + std::to_string(query.process_id);
  return text;
}

std::string upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A key as the keyboard delivers it: down, then up, to the window's queue.
void post_key(HWND window, WPARAM key) {
  LPARAM scan = LPARAM(MapVirtualKeyA(UINT(key), MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(window, WM_KEYDOWN, key, scan | 1);
  PostMessageA(window, WM_KEYUP, key, scan | 1 | (LPARAM(3) << 30));
}

constexpr size_t kRemoteBlockSize = 4096;
constexpr size_t kRemoteTextOffset = 512;  // the item record comes first
constexpr int kRemoteTextRoom = 1024;
constexpr int kTreeWaitMs = 5000;

}  // namespace

COLORREF ScreenImage::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
  size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
  return RGB(static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
             static_cast<unsigned char>(rgb[i + 2]));
}

std::optional<ScreenImage> capture_screen(const RECT& area) {
  int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return std::nullopt;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  std::optional<ScreenImage> image;
  if (copied) {
    image = ScreenImage{width, height, {}};
    const unsigned char* pixel = static_cast<const unsigned char*>(bits);
    image->rgb.reserve(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i, pixel += 4) {
      image->rgb.push_back(char(pixel[2]));
      image->rgb.push_back(char(pixel[1]));
      image->rgb.push_back(char(pixel[0]));
    }
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

// GDI+'s PNG encoder, as it lists itself in GdipGetImageEncoders.
constexpr CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3,
                               {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

bool save_screenshot(const std::string& path, HWND window) {
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window != nullptr && !GetWindowRect(window, &area)) return false;
  std::optional<ScreenImage> image = capture_screen(area);
  if (!image) return false;
  // GDI+ takes rows of blue, green, red and an unused byte.
  std::string pixels(size_t(image->width) * size_t(image->height) * 4, '\0');
  for (size_t i = 0; i < pixels.size() / 4; ++i) {
    pixels[4 * i] = image->rgb[3 * i + 2];
    pixels[4 * i + 1] = image->rgb[3 * i + 1];
    pixels[4 * i + 2] = image->rgb[3 * i];
  }
  std::wstring wide_path(path.size() + 1, L'\0');
  int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide_path.data(),
                                   int(wide_path.size()));
  if (length == 0) return false;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool saved = false;
  {
    Gdiplus::Bitmap bitmap(image->width, image->height, image->width * 4, PixelFormat32bppRGB,
                           reinterpret_cast<BYTE*>(pixels.data()));
    saved = bitmap.Save(wide_path.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

RemoteTree::RemoteTree(HWND tree) : tree_(tree) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(tree, &process_id);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                         process_id);
  if (process_ == nullptr) return;
  block_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kRemoteBlockSize,
                                             MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

RemoteTree::~RemoteTree() {
  if (block_ != nullptr) VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
  if (process_ != nullptr) CloseHandle(process_);
}

HTREEITEM RemoteTree::next(HTREEITEM item, UINT relation) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item),
                      SMTO_ABORTIFHUNG, kTreeWaitMs, &result);
  return reinterpret_cast<HTREEITEM>(result);
}

std::optional<TreeItem> RemoteTree::item(HTREEITEM handle) {
  if (!usable() || handle == nullptr) return std::nullopt;
  TVITEMA view = {};
  view.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
  view.hItem = handle;
  view.stateMask = 0xFFFFFFFFu;
  view.pszText = block_ + kRemoteTextOffset;
  view.cchTextMax = kRemoteTextRoom;
  char text[kRemoteTextRoom] = {};
  DWORD_PTR answered = 0;
  if (!WriteProcessMemory(process_, block_, &view, sizeof view, nullptr) ||
      !WriteProcessMemory(process_, view.pszText, text, 1, nullptr) ||
      !SendMessageTimeoutA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block_),
                           SMTO_ABORTIFHUNG, kTreeWaitMs, &answered) ||
      answered == 0 || !ReadProcessMemory(process_, block_, &view, sizeof view, nullptr) ||
      !ReadProcessMemory(process_, view.pszText, text, sizeof text - 1, nullptr))
    return std::nullopt;
  return TreeItem{handle, text, view.iImage, view.iSelectedImage, view.state};
}

std::vector<TreeItem> RemoteTree::siblings_from(HTREEITEM first) {
  std::vector<TreeItem> items;
  for (HTREEITEM at = first; at != nullptr; at = next(at, TVGN_NEXT)) {
    if (std::optional<TreeItem> seen = item(at)) items.push_back(*seen);
  }
  return items;
}

std::vector<TreeItem> RemoteTree::roots() { return siblings_from(next(nullptr, TVGN_ROOT)); }

std::vector<TreeItem> RemoteTree::children(HTREEITEM parent) {
  return siblings_from(next(parent, TVGN_CHILD));
}

std::optional<TreeItem> RemoteTree::selection() { return item(next(nullptr, TVGN_CARET)); }

std::optional<TreeItem> RemoteTree::find(const std::vector<std::string>& texts) {
  std::optional<TreeItem> found;
  std::vector<TreeItem> level = roots();
  for (const std::string& text : texts) {
    auto match = std::find_if(level.begin(), level.end(),
                              [&](const TreeItem& each) { return each.text == text; });
    if (match == level.end()) return std::nullopt;
    found = *match;
    level = children(match->handle);
  }
  return found;
}

std::vector<std::string> RemoteTree::path_of(HTREEITEM at) {
  std::vector<std::string> texts;
  for (; at != nullptr; at = next(at, TVGN_PARENT)) {
    std::optional<TreeItem> seen = item(at);
    texts.insert(texts.begin(), seen ? seen->text : "?");
  }
  return texts;
}

bool RemoteTree::select(HTREEITEM at) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(at),
                             SMTO_ABORTIFHUNG, kTreeWaitMs, &result) != 0 &&
         result != 0;
}

// The arrow keys open and close the selected item as the user's own action:
// unlike TVM_EXPAND, they tell the dialog each time, not only the first.
bool RemoteTree::press_arrow_until(HTREEITEM at, WPARAM key, bool expanded) {
  if (!select(at)) return false;
  std::optional<TreeItem> seen = item(at);
  if (seen && seen->expanded() == expanded) return true;
  post_key(tree_, key);
  DWORD start = GetTickCount();
  while (GetTickCount() - start < DWORD(kTreeWaitMs)) {
    seen = item(at);
    if (seen && seen->expanded() == expanded) return true;
    Sleep(kPollMs);
  }
  return false;
}

bool RemoteTree::expand(HTREEITEM at) { return press_arrow_until(at, VK_RIGHT, true); }

bool RemoteTree::collapse(HTREEITEM at) { return press_arrow_until(at, VK_LEFT, false); }

std::string SeenWindow::control_text(int id) const {
  for (const ControlInfo& control : controls) {
    if (control.id == id) return control.text;
  }
  return "";
}

bool SeenWindow::is_message_box() const {
  if (class_name != "#32770") return false;
  for (const ControlInfo& control : controls)
    if (control.id == kMessageBoxTextId) return true;
  return false;
}

std::vector<int> SeenWindow::button_ids() const {
  std::vector<int> ids;
  for (const ControlInfo& control : controls) {
    if (upper(control.class_name) == "BUTTON") ids.push_back(control.id);
  }
  return ids;
}

std::string SeenWindow::describe() const {
  std::string text = class_name + " '" + caption + "' of process " + std::to_string(process_id);
  for (const ControlInfo& control : controls) {
    text += "\n    " + control.class_name + " " + std::to_string(control.id) + " '" +
            control.text + "'";
  }
  return text;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(other.process_), id_(other.id_) {
  other.process_ = nullptr;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  std::swap(process_, other.process_);
  std::swap(id_, other.id_);
  return *this;
}

ChildProcess::~ChildProcess() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 999);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

ChildProcess ChildProcess::start(const std::string& command_line,
                                 const std::vector<std::string>* environment) {
  std::string block;
  if (environment != nullptr) {
    for (const std::string& entry : *environment) block += entry + '\0';
    block += '\0';
  }
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ChildProcess child;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                     environment != nullptr ? block.data() : nullptr, nullptr, &startup, &info)) {
    CloseHandle(info.hThread);
    child.process_ = info.hProcess;
    child.id_ = info.dwProcessId;
  }
  return child;
}

std::optional<DWORD> ChildProcess::wait_exit(int timeout_ms) {
  if (process_ == nullptr) return std::nullopt;
  if (WaitForSingleObject(process_, DWORD(timeout_ms)) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::vector<std::string> environment_with(const std::vector<std::string>& removed,
                                          const std::map<std::string, std::string>& set) {
  std::set<std::string> dropped;
  for (const std::string& name : removed) dropped.insert(upper(name));
  for (const auto& entry : set) dropped.insert(upper(entry.first));

  std::vector<std::string> entries;
  char* block = GetEnvironmentStringsA();
  for (const char* entry = block; *entry != 0; entry += std::strlen(entry) + 1) {
    std::string text = entry;
    // Entries such as "=C:=C:\\" name no variable; keep them as they are.
    size_t equals = text.find('=', 1);
    if (equals != std::string::npos && dropped.count(upper(text.substr(0, equals)))) continue;
    entries.push_back(text);
  }
  FreeEnvironmentStringsA(block);
  for (const auto& entry : set) entries.push_back(entry.first + "=" + entry.second);
  // The block must be sorted by name, without regard to case.
  std::sort(entries.begin(), entries.end(),
            [](const std::string& a, const std::string& b) { return upper(a) < upper(b); });
  return entries;
}

SeenWindow GuiRobot::look_at(HWND window) {
  SeenWindow seen;
  seen.handle = window;
  GetWindowThreadProcessId(window, &seen.process_id);
  seen.caption = text_of(window);
  seen.class_name = class_of(window);
  std::vector<HWND> children;
  EnumChildWindows(window, collect_window, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    seen.controls.push_back({GetDlgCtrlID(child), class_of(child), text_of(child)});
  }
  return seen;
}

std::vector<SeenWindow> GuiRobot::find_all(const WindowQuery& query) {
  std::vector<HWND> windows;
  EnumWindows(collect_window, reinterpret_cast<LPARAM>(&windows));
  std::vector<SeenWindow> found;
  for (HWND window : windows) {
    if (!IsWindowVisible(window)) continue;
    if (query.process_id != 0) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner != query.process_id) continue;
    }
    SeenWindow seen = look_at(window);
    if (matches(seen, query)) found.push_back(seen);
  }
  return found;
}

std::optional<SeenWindow> GuiRobot::find(const WindowQuery& query) {
  std::vector<SeenWindow> found = find_all(query);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::optional<SeenWindow> GuiRobot::wait_for(const WindowQuery& query, int timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    std::optional<SeenWindow> seen = find(query);
    if (seen) {
      note("saw " + seen->describe());
      return seen;
    }
    if (GetTickCount() - start >= DWORD(timeout_ms)) {
      note("no window " + describe_query(query) + " within " + std::to_string(timeout_ms) + " ms");
      return std::nullopt;
    }
    Sleep(kPollMs);
  }
}

bool GuiRobot::wait_gone(HWND window, int timeout_ms) {
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= DWORD(timeout_ms)) {
      note("window still there after " + std::to_string(timeout_ms) + " ms");
      return false;
    }
    Sleep(kPollMs);
  }
  return true;
}

void GuiRobot::press(const SeenWindow& window, int button_id) {
  HWND button = GetDlgItem(window.handle, button_id);
  note("pressed " + std::to_string(button_id) + " in '" + window.caption + "'");
  PostMessageA(window.handle, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

void GuiRobot::press_escape(const SeenWindow& window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  HWND target = window.handle;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window.handle, nullptr), &info) &&
      info.hwndFocus != nullptr)
    target = info.hwndFocus;
  note("pressed Escape in '" + window.caption + "'");
  post_key(target, VK_ESCAPE);
}

std::string GuiRobot::control_text(HWND window, int id) { return text_of(GetDlgItem(window, id)); }

void GuiRobot::set_control_text(HWND window, int id, const std::string& text) {
  note("typed '" + text + "' into " + std::to_string(id));
  DWORD_PTR result = 0;
  SendMessageTimeoutA(GetDlgItem(window, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_NORMAL, kTextTimeoutMs, &result);
}

bool GuiRobot::control_enabled(HWND window, int id) {
  return IsWindowEnabled(GetDlgItem(window, id)) != 0;
}

std::optional<SeenWindow> GuiRobot::answer_message_box(const WindowQuery& query, int button_id,
                                                       int timeout_ms) {
  WindowQuery box = query;
  box.class_name = "#32770";
  DWORD start = GetTickCount();
  for (;;) {
    // Dialogs share the message box's class: only a box with a message counts.
    for (const SeenWindow& seen : find_all(box)) {
      if (!seen.is_message_box()) continue;
      note("saw " + seen.describe());
      press(seen, button_id);
      wait_gone(seen.handle, timeout_ms);
      return seen;
    }
    if (GetTickCount() - start >= DWORD(timeout_ms)) {
      note("no message box " + describe_query(query) + " within " + std::to_string(timeout_ms) +
           " ms");
      return std::nullopt;
    }
    Sleep(kPollMs);
  }
}

std::optional<DWORD> GuiRobot::watch_until_exit(ChildProcess& process,
                                                std::vector<SeenWindow>* shown, int timeout_ms) {
  std::set<HWND> noted;
  DWORD start = GetTickCount();
  for (;;) {
    for (const SeenWindow& seen : find_all({"", "", process.id()})) {
      if (!noted.insert(seen.handle).second) continue;
      note("saw " + seen.describe());
      if (shown != nullptr) shown->push_back(seen);
    }
    if (std::optional<DWORD> code = process.wait_exit(0)) {
      note("process " + std::to_string(process.id()) + " ended with " + std::to_string(*code));
      return code;
    }
    if (GetTickCount() - start >= DWORD(timeout_ms)) {
      note("process " + std::to_string(process.id()) + " still runs after " +
           std::to_string(timeout_ms) + " ms");
      return std::nullopt;
    }
    Sleep(kPollMs);
  }
}

}  // namespace lume_robot
