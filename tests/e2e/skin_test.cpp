// The real program's skin on screen: what the window shows at the pixels that matter, the game
// button's over picture under the pointer, and dragging the skin with both windows together.

#include "driver.h"
#include "maker_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace driver;

namespace {

struct Rgb {
  int r, g, b;
};

Rgb At(const Screenshot& shot, int x, int y) {
  const COLORREF c = shot.Pixel(x, y);
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

bool Grey(Rgb c, int tolerance = 6) {
  return std::abs(c.r - c.g) <= tolerance && std::abs(c.g - c.b) <= tolerance;
}

bool Magenta(Rgb c) { return c.r > 150 && c.g < 110 && c.b > 140; }

::testing::AssertionResult Near(Rgb a, Rgb b, int tolerance = 3) {
  if (std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "(" << a.r << "," << a.g << "," << a.b << ") is not near (" << b.r << ","
                                       << b.g << "," << b.b << ")";
}

class SkinOnScreen : public e2e::WithMakerServer {
protected:
  void SetUp() override {
    WithMakerServer::SetUp();
    app_.emplace(AppProcess::Start());
    window_ = app_->MainWindow();
    ASSERT_NE(window_, nullptr);
    controlForm_ = app_->WaitForWindow(L"TJvControlForm", 10s);
    ASSERT_NE(controlForm_, nullptr);
    // Let both windows paint.
    std::this_thread::sleep_for(1500ms);
  }
  void TearDown() override {
    if (window_) {
      if (HasFailure()) Screenshot::Capture().Save(BinDir() + L"\\skin_failure.bmp");
      PostMessageW(window_, WM_CLOSE, 0, 0);
      EXPECT_EQ(app_->WaitForExit(20s), std::optional<DWORD>(0));
    }
    WithMakerServer::TearDown();
  }
  RECT Bounds() const { return WindowRectOf(window_); }

  std::optional<AppProcess> app_;
  HWND window_ = nullptr;
  HWND controlForm_ = nullptr;
};

}  // namespace

TEST_F(SkinOnScreen, ShowsTheSkinWithItsControlsAtThePixelsThatMatter) {
  const RECT w = Bounds();
  ASSERT_EQ(w.right - w.left, 247);
  ASSERT_EQ(w.bottom - w.top, 42);
  MoveTo({5, 5});  // nothing of ours under the pointer
  std::this_thread::sleep_for(300ms);
  const Screenshot shot = Screenshot::Capture();
  const auto px = [&](int x, int y) { return At(shot, w.left + x, w.top + y); };

  // The cut top-left corner shows the desktop beneath; the skin starts along its curve.
  const Rgb desktop = At(shot, w.left - 4, w.top + 1);
  EXPECT_TRUE(Near(px(0, 0), desktop));
  EXPECT_TRUE(Near(px(2, 2), desktop));
  EXPECT_FALSE(Near(px(14, 2), desktop, 20));
  // The gradient: light grey at the top, dark grey at the bottom, both through the control form.
  const Rgb top = px(120, 2);
  const Rgb bottom = px(120, 39);
  EXPECT_TRUE(Grey(top) && top.r > 185) << top.r;
  EXPECT_TRUE(Grey(bottom) && bottom.r < 110) << bottom.r;
  // The lettering is magenta.
  bool lettering = false;
  for (int x = 45; x <= 91; ++x) lettering = lettering || Magenta(px(x, 7));
  EXPECT_TRUE(lettering);
  // An unlit cell is grey, darker than the skin beside the bar on the same row.
  const Rgb cell = px(42, 22);
  const Rgb besideBar = px(161, 22);
  EXPECT_TRUE(Grey(cell)) << cell.r << "," << cell.g << "," << cell.b;
  EXPECT_LT(cell.r, besideBar.r - 15);
  // The unlit game button: a dark grey disc, not the lit magenta.
  const Rgb game = px(10, 21);
  EXPECT_TRUE(Grey(game) && game.r < 120) << game.r << "," << game.g << "," << game.b;
  // The status label's white text over the dark lower half.
  int white = 0;
  for (int y = 28; y < 37; ++y) {
    for (int x = 40; x < 164; ++x) {
      const Rgb c = px(x, y);
      if (c.r > 215 && c.g > 215 && c.b > 215) ++white;
    }
  }
  EXPECT_GT(white, 30) << "the label's caption is drawn";
  const Rgb underLabel = px(170, 34);  // beside the label, no control: only the skin
  EXPECT_TRUE(Grey(underLabel) && underLabel.r < 190);
}

TEST_F(SkinOnScreen, PointingAtTheGameButtonShowsTheOverPictureAndLeavingRestoresIt) {
  const RECT w = Bounds();
  const POINT onButton{w.left + 10, w.top + 21};
  MoveTo({w.left + 120, w.top - 30});
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(Magenta(At(Screenshot::Capture(), onButton.x, onButton.y)));

  MoveTo(onButton);
  EXPECT_TRUE(WaitUntil([&] { return Magenta(At(Screenshot::Capture(), onButton.x, onButton.y)); }, 5s))
      << "the over picture (the lit badge) shows";

  MoveTo({w.left + 120, w.top - 30});
  EXPECT_TRUE(WaitUntil(
      [&] {
        const Rgb c = At(Screenshot::Capture(), onButton.x, onButton.y);
        return Grey(c) && c.r < 120;
      },
      5s))
      << "the off picture is back";
}

TEST_F(SkinOnScreen, DraggingTheSkinMovesTheWindowAndTheControlFormTogether) {
  const RECT before = Bounds();
  // A point of the skin that no control covers.
  const POINT from{before.left + 120, before.top + 10};
  const POINT to{from.x + 60, from.y + 45};
  Drag(from, to);
  EXPECT_TRUE(WaitUntil([&] { return Bounds().left == before.left + 60 && Bounds().top == before.top + 45; }, 5s))
      << "the window moved by the drag";
  const RECT after = Bounds();
  EXPECT_EQ(after.right - after.left, 247);
  const RECT form = WindowRectOf(controlForm_);
  EXPECT_TRUE(EqualRect(&form, &after)) << "the control form lies exactly on the window";

  // The skin moved on screen too: the gradient's top is now where the drag ended.
  std::this_thread::sleep_for(500ms);
  MoveTo({5, 5});
  std::this_thread::sleep_for(300ms);
  const Rgb top = At(Screenshot::Capture(), after.left + 120, after.top + 2);
  EXPECT_TRUE(Grey(top) && top.r > 185);
}
