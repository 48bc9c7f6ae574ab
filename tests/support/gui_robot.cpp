#include "tests/support/gui_robot.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

namespace lume_test {

namespace {

constexpr int kPollMs = 20;
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
                      SMTO_ABORTIFHUNG, kTextTimeoutMs, &result);
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

}  // namespace

std::string SeenWindow::control_text(int id) const {
  for (const ControlInfo& control : controls) {
    if (control.id == id) return control.text;
  }
  return "";
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

std::optional<SeenWindow> GuiRobot::answer_message_box(const WindowQuery& query, int button_id,
                                                       int timeout_ms) {
  WindowQuery box = query;
  box.class_name = "#32770";
  std::optional<SeenWindow> seen = wait_for(box, timeout_ms);
  if (!seen) return std::nullopt;
  press(*seen, button_id);
  wait_gone(seen->handle, timeout_ms);
  return seen;
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

}  // namespace lume_test
