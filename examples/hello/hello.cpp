// Lume Hello: the example product that the example installer carries. One
// window with a greeting; its command line picks the greeting:
//   LumeHello.exe               "Hello from Lume!"
//   LumeHello.exe /large        the same in large letters
//   LumeHello.exe /greet NAME   "Hello, NAME!"
//   LumeHello.exe /installed    a welcome box, run by the installer at its end
#include <string.h>
#include <windows.h>

namespace {

const char kWindowClass[] = "LumeHelloWindow";
char greeting[256] = "Hello from Lume!";
int letter_height = 28;

// The command line behind the program's own name, which may be quoted.
const char* arguments_of(const char* line) {
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line) ++line;
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

bool starts_with_option(const char* args, const char* option) {
  size_t n = strlen(option);
  return _strnicmp(args, option, n) == 0 && (args[n] == 0 || args[n] == ' ');
}

void paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT area;
  GetClientRect(window, &area);
  HFONT font = CreateFontA(-letter_height, 0, 0, 0, FW_SEMIBOLD, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  HGDIOBJ old_font = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0x20, 0x40, 0x80));
  DrawTextA(dc, greeting, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old_font);
  DeleteObject(font);
  EndPaint(window, &ps);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      paint(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  const char* args = arguments_of(GetCommandLineA());
  if (starts_with_option(args, "/installed")) {
    MessageBoxA(nullptr, "Lume Hello is installed. Find it in the Start menu.", "Lume Hello",
                MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (starts_with_option(args, "/large")) letter_height = 72;
  if (starts_with_option(args, "/greet")) {
    const char* name = arguments_of(args);
    if (*name == 0) name = "stranger";
    lstrcpynA(greeting, "Hello, ", sizeof greeting);
    size_t used = strlen(greeting);
    lstrcpynA(greeting + used, name, int(sizeof greeting - used - 1));
    used = strlen(greeting);
    lstrcpynA(greeting + used, "!", int(sizeof greeting - used));
  }

  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  window_class.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
  window_class.lpszClassName = kWindowClass;
  if (!RegisterClassA(&window_class)) return 1;
  HWND window = CreateWindowA(kWindowClass, "Lume Hello", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 640, 360, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return int(message.wParam);
}
