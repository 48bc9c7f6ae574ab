#include "installer/background_window.h"

#include "installer/install_sequence.h"
#include "installer/shared_state.h"

enum { kGradientBrushes = 64 };

const char* background_program_name;

void paint_background(HDC dc, const RECT* area) {
  HBRUSH brushes[kGradientBrushes];
  for (int i = 0; i < kGradientBrushes; ++i) {
    BYTE level = BYTE(255 - 4 * i);
    brushes[i] = CreateSolidBrush(RGB(0, level, level));
  }
  int height = area->bottom - area->top;
  // 63 * y grows by 63 a row; the last row takes brush 63 * (height - 1) /
  // height, so brush 63 is never used.
  int running = 0;
  for (int y = 0; y < height; ++y, running += kGradientBrushes - 1) {
    RECT row = {area->left, area->top + y, area->right, area->top + y + 1};
    FillRect(dc, &row, brushes[running / height]);
  }
  for (int i = 0; i < kGradientBrushes; ++i) DeleteObject(brushes[i]);
}

LRESULT CALLBACK background_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);  // the whole area, not just what needs painting
      paint_background(dc, &client);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_USER_START:
      install_sequence(window, background_program_name);
      PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

bool open_background_window(HBRUSH background) {
  WNDCLASSA window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = background_window_proc;
  window_class.hInstance = module_instance;
  window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = background;
  window_class.lpszClassName = LUME_WINDOW_CLASS;
  if (RegisterClassA(&window_class) == 0) return false;
  main_window = CreateWindowExA(0, LUME_WINDOW_CLASS, setup_caption, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                nullptr, nullptr, module_instance, nullptr);
  if (main_window == nullptr) return false;
  // Queued now, handled once the loop runs: after the window has been
  // shown, maximised and painted.
  PostMessageA(main_window, WM_USER_START, 0, 0);
  ShowWindow(main_window, SW_SHOW);
  UpdateWindow(main_window);
  ShowWindow(main_window, SW_MAXIMIZE);
  UpdateWindow(main_window);
  return true;
}
