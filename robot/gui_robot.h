// A robot that drives Windows programs as a user would, for the tests, the
// demo and the install benchmark: it starts programs, finds their top-level
// windows by caption (and class), reads what their controls say, presses
// buttons, takes screenshots and waits with time-outs. Everything it sees
// and does goes into a log that its callers print when something went wrong.
//
// Buttons are pressed with posted WM_COMMAND messages, never sent ones: a
// sent message would block the robot inside a nested question box.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lume_robot {

enum : int {
  kMessageBoxTextId = 0xFFFF,  // the static control that holds a message box's text
  kDefaultTimeoutMs = 10000,
};

struct ControlInfo {
  int id = 0;
  std::string class_name;
  std::string text;
};

// One top-level window as the robot saw it.
struct SeenWindow {
  HWND handle = nullptr;
  DWORD process_id = 0;
  std::string caption;
  std::string class_name;
  std::vector<ControlInfo> controls;

  // A message box, not a dialog: the dialog class with a message text.
  bool is_message_box() const;
  // The text of the control with this id, or "" when there is none.
  std::string control_text(int id) const;
  // A message box's message.
  std::string message() const { return control_text(kMessageBoxTextId); }
  // The ids of the buttons, in the order of the controls.
  std::vector<int> button_ids() const;
  std::string describe() const;
};

// What to look for; empty fields and a process id of 0 match anything.
struct WindowQuery {
  std::string caption;
  std::string class_name;
  DWORD process_id = 0;
};

// A program started by a test. Ends it (forcibly) if the test has not
// waited for it, so no test leaves processes behind.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // command_line as CreateProcessA takes it; environment as "NAME=value"
  // entries (null: the test's own environment).
  static ChildProcess start(const std::string& command_line,
                            const std::vector<std::string>* environment = nullptr);

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  // The exit code, or nothing when the process still runs after timeout_ms.
  std::optional<DWORD> wait_exit(int timeout_ms = kDefaultTimeoutMs);

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// The test's environment as "NAME=value" entries, with the named variables
// removed (names compare without regard to case) and the given ones set.
std::vector<std::string> environment_with(const std::vector<std::string>& removed,
                                          const std::map<std::string, std::string>& set = {});

// One item of a tree view, as read from its process.
struct TreeItem {
  HTREEITEM handle = nullptr;
  std::string text;
  int image = -1;
  int selected_image = -1;
  UINT state = 0;

  bool expanded() const { return (state & TVIS_EXPANDED) != 0; }
  bool selected() const { return (state & TVIS_SELECTED) != 0; }
};

// A tree view of another process, read and driven from the robot. A tree
// view takes its item records and texts as pointers into its own process,
// so the robot keeps a block of memory there to pass them through. The
// target must have the robot's pointer size: a PE32 robot drives PE32
// programs.
class RemoteTree {
 public:
  explicit RemoteTree(HWND tree);
  RemoteTree(const RemoteTree&) = delete;
  RemoteTree& operator=(const RemoteTree&) = delete;
  ~RemoteTree();

  bool usable() const { return block_ != nullptr; }
  HWND window() const { return tree_; }

  // Items in the control's order; roots are the drives.
  std::vector<TreeItem> roots();
  std::vector<TreeItem> children(HTREEITEM parent);
  std::optional<TreeItem> item(HTREEITEM handle);
  std::optional<TreeItem> selection();
  // The item reached from the roots through these texts (compared exactly).
  std::optional<TreeItem> find(const std::vector<std::string>& texts);
  // The texts from the root down to item.
  std::vector<std::string> path_of(HTREEITEM item);

  // Selects the item as a click would (the tree reports the change).
  bool select(HTREEITEM item);
  // Selects the item and opens or closes it with the arrow keys, as a user
  // does; true once the tree shows it open (closed).
  bool expand(HTREEITEM item);
  bool collapse(HTREEITEM item);

 private:
  std::vector<TreeItem> siblings_from(HTREEITEM first);
  HTREEITEM next(HTREEITEM item, UINT relation);
  bool press_arrow_until(HTREEITEM item, WPARAM key, bool expanded);

  HWND tree_ = nullptr;
  HANDLE process_ = nullptr;
  char* block_ = nullptr;  // an address in the tree's process
};

// Pixels of a part of the screen, top row first, three bytes (red, green,
// blue) a pixel.
struct ScreenImage {
  int width = 0;
  int height = 0;
  std::string rgb;

  // The pixel at x, y of the image, or CLR_INVALID outside it.
  COLORREF at(int x, int y) const;
};

// The area of the screen (in screen coordinates) as it shows now; nothing
// when it cannot be taken.
std::optional<ScreenImage> capture_screen(const RECT& area);

// Writes an image of the screen, or of one window as it shows on the
// screen, to path as a PNG file, encoded by the system's GDI+. False when it
// cannot be taken or written.
bool save_screenshot(const std::string& path, HWND window = nullptr);

class GuiRobot {
 public:
  // Visible top-level windows that match, in the system's z-order.
  std::vector<SeenWindow> find_all(const WindowQuery& query);
  std::optional<SeenWindow> find(const WindowQuery& query);
  // Looks every 20 ms until a matching window is visible or timeout_ms pass.
  std::optional<SeenWindow> wait_for(const WindowQuery& query, int timeout_ms = kDefaultTimeoutMs);
  bool wait_gone(HWND window, int timeout_ms = kDefaultTimeoutMs);

  SeenWindow look_at(HWND window);
  // Posts the button's WM_COMMAND to its window.
  void press(const SeenWindow& window, int button_id);
  // Posts the Escape key to the control that has the window's focus, as the
  // keyboard would deliver it.
  void press_escape(const SeenWindow& window);

  // A control of a window of any process, as it is now.
  std::string control_text(HWND window, int id);
  void set_control_text(HWND window, int id, const std::string& text);
  bool control_enabled(HWND window, int id);
  // Waits for a message box that matches, notes it, presses the button.
  std::optional<SeenWindow> answer_message_box(const WindowQuery& query, int button_id,
                                               int timeout_ms = kDefaultTimeoutMs);

  // Waits for the process to end while noting every window it shows. The
  // exit code, or nothing after timeout_ms.
  std::optional<DWORD> watch_until_exit(ChildProcess& process, std::vector<SeenWindow>* shown,
                                        int timeout_ms = kDefaultTimeoutMs);

  const std::string& log() const { return log_; }
  void note(const std::string& line) { log_ += line + "\n"; }

 private:
  std::string log_;
};

}  // namespace lume_robot
