// The background's gradient, painted into a bitmap and read back pixel by
// pixel: two rows a band over 126 rows, and the area's edges. How the bands
// look on a screen of any height is checked on a screenshot of the running
// installer (tests/support/installation_fixture.cpp).
#include "installer/background_window.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kMarker = RGB(200, 10, 100);

COLORREF brush_colour(int i) { return RGB(0, 255 - 4 * i, 255 - 4 * i); }

// A bitmap of width x height pixels in the marker colour, painted in area.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    RECT all = {0, 0, width, height};
    HBRUSH marker = CreateSolidBrush(kMarker);
    FillRect(dc_, &all, marker);
    DeleteObject(marker);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  void paint(RECT area) { paint_background(dc_, &area); }
  COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

}  // namespace

TEST(Background, RowsDarkenInBandsOfTwoOver126RowsAndNeverReachTheLastBrush) {
  Canvas canvas(3, 130);
  canvas.paint({0, 2, 3, 128});  // 126 rows from row 2
  for (int y = 0; y < 126; ++y) {
    EXPECT_EQ(canvas.at(0, 2 + y), brush_colour(y / 2)) << y;
    EXPECT_EQ(canvas.at(2, 2 + y), brush_colour(y / 2)) << y;
  }
  EXPECT_EQ(canvas.at(1, 1), kMarker);    // nothing above the area
  EXPECT_EQ(canvas.at(1, 128), kMarker);  // nor below it
}

TEST(Background, OneRowIsCyanAndNoRowsPaintNothing) {
  Canvas canvas(2, 3);
  canvas.paint({0, 1, 2, 1});
  EXPECT_EQ(canvas.at(0, 1), kMarker);
  canvas.paint({0, 1, 2, 2});
  EXPECT_EQ(canvas.at(0, 1), RGB(0, 255, 255));
  EXPECT_EQ(canvas.at(0, 2), kMarker);
}
