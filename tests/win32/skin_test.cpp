// The skin's Win32 side against real windows and the real executable's resources: the resource
// store, the image button, the image progress bar and the layered window's styles and regions.

#include "common/error.h"
#include "driver.h"
#include "ui/application.h"
#include "ui/image_control.h"
#include "ui/image_progress_bar.h"
#include "ui/label_control.h"
#include "ui/png_decoder.h"
#include "ui/png_resource.h"
#include "ui/png_resource_image.h"
#include "ui/transparent_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  const auto pa = a.Pixels();
  const auto pb = b.Pixels();
  return a.Width() == b.Width() && a.Height() == b.Height() && std::equal(pa.begin(), pa.end(), pb.begin(), pb.end());
}

TBitmap Own(const wchar_t* name) {
  TBitmap bitmap;
  LoadPNGResourceToBitmap(bitmap, name);
  return bitmap;
}

// A bitmap from 0xAARRGGBB pixels (already premultiplied), rows top-down.
TBitmap MaskOf(int width, int height, const std::vector<std::uint32_t>& pixels) {
  TBitmap bitmap;
  bitmap.SetPixels(width, height,
                   std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(pixels.data()), pixels.size() * 4));
  return bitmap;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) children.push_back(child);
  std::reverse(children.begin(), children.end());  // painting order: lowest first
  return children;
}

// A plain framed top-level window, the owner form of the tests, recording close requests.
class TestForm : public Window<TestForm> {
public:
  static constexpr LONG_PTR kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  static constexpr wchar_t kClassName[] = L"LagvaneSkinTestForm";
  TestForm() {
    RegisterWindowClass();
    CreateWindowExW(0, kClassName, L"test", static_cast<DWORD>(kStyle), 100, 100, 300, 200, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
  }
  ~TestForm() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  int closeRequests = 0;

private:
  friend class Window<TestForm>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
      ++closeRequests;
      return 77;
    }
    return DefaultProc(message, wParam, lParam);
  }
};

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class SkinTest : public ::testing::Test {
protected:
  void SetUp() override { TApplication::Initialize(); }
};

}  // namespace

TEST_F(SkinTest, StoreFindsEveryPictureOfTheBuiltProgramWhateverTheCaseOfItsName) {
  const std::wstring exe = driver::BinDir() + L"\\LAGVANE.exe";
  UniqueHModule program(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(program) << "cannot open LAGVANE.exe";

  struct Picture {
    const wchar_t* name;
    int width;
    int height;
  };
  const Picture pictures[] = {
      {L"PROGRESSBAR_BACKGROUND", 6, 7}, {L"PROGRESSBAR_GAME", 6, 7},     {L"PROGRESSBAR_WEB", 6, 7},
      {L"ButtonGame_ON", 31, 31},        {L"ButtonGame_OFF", 31, 31},     {L"ButtonGame_OVER", 31, 31},
      {L"ButtonWeb_ON", 16, 15},         {L"ButtonWeb_OFF", 16, 15},      {L"ButtonWeb_OVER", 16, 15},
      {L"POPUP_GAME", 321, 89},          {L"POPUP_WEB", 321, 89},         {L"POPUP_GAME_UNDER", 321, 89},
      {L"POPUP_WEB_UNDER", 321, 89},     {L"POPUP_MSMQ_INSTALL", 321, 34}, {L"POPUP_MSMQ_UNINSTALL", 321, 33},
  };
  for (const Picture& p : pictures) {
    SCOPED_TRACE(testing::Message() << std::string(p.name, p.name + wcslen(p.name)));
    const TBitmap bitmap = LoadPngResource(program.get(), p.name);
    EXPECT_EQ(bitmap.Width(), p.width);
    EXPECT_EQ(bitmap.Height(), p.height);
  }

  const TBitmap asWritten = LoadPngResource(program.get(), L"ButtonGame_ON");
  for (const wchar_t* name : {L"BUTTONGAME_ON", L"buttongame_on", L"bUtToNgAmE_oN"}) {
    EXPECT_TRUE(SamePixels(LoadPngResource(program.get(), name), asWritten));
  }
  // Pointing at an unlit button shows it lit: the over picture is the on picture.
  EXPECT_TRUE(SamePixels(LoadPngResource(program.get(), L"ButtonGame_over"), asWritten));
  EXPECT_TRUE(SamePixels(LoadPngResource(program.get(), L"buttonweb_OVER"), LoadPngResource(program.get(), L"ButtonWeb_ON")));

  // Premultiplied: no colour byte above its alpha, and the transparent corner is all zero.
  for (const std::uint32_t pixel : asWritten.Pixels()) {
    const std::uint32_t a = pixel >> 24;
    ASSERT_LE((pixel >> 16) & 0xFF, a);
    ASSERT_LE((pixel >> 8) & 0xFF, a);
    ASSERT_LE(pixel & 0xFF, a);
  }
  EXPECT_EQ(asWritten.Pixels()[0], 0u);
}

TEST_F(SkinTest, MissingNamesAndBrokenBlobsRaiseTheirErrorsToTheCaller) {
  TBitmap bitmap = Own(L"ButtonWeb_ON");
  try {
    LoadPNGResourceToBitmap(bitmap, L"NoSuchPicture");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Resource NoSuchPicture not found");
  }
  try {
    LoadPNGResourceToBitmap(bitmap, L"Broken_Png");  // a PNG cut off in the middle of its IDAT
    ADD_FAILURE() << "no error";
  } catch (const EPNGError& e) {
    EXPECT_EQ(e.Code(), PngError::kTruncated);
  }
  // A failed load leaves the target as it was.
  EXPECT_TRUE(SamePixels(bitmap, Own(L"ButtonWeb_ON")));
}

TEST_F(SkinTest, ImageButtonShowsItsStateAndTheOverPictureWhileThePointerIsOnIt) {
  TestForm form;
  TImage control(form.Handle(), 6, 6, 31, 31, L"imgGame");
  TApplication& app = TApplication::Instance();

  TPNGResourceImage button(&control, L"ButtonGame_ON", L"ButtonGame_OFF", L"ButtonGame_OVER");
  EXPECT_EQ(button.ImageMode(), TStateMode::smOFF);
  EXPECT_TRUE(SamePixels(control.Picture(), Own(L"ButtonGame_OFF")));
  button.SetImageMode(TStateMode::smON);
  EXPECT_TRUE(SamePixels(control.Picture(), Own(L"ButtonGame_ON")));
  button.SetImageMode(TStateMode::smOFF);

  // The pointer enters: the hand for every window, and the over picture.
  ASSERT_TRUE(control.OnMouseEnter);
  control.OnMouseEnter();
  EXPECT_EQ(app.CursorOverride(), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_TRUE(SamePixels(control.Picture(), Own(L"ButtonGame_OVER")));
  // The state changes under the pointer: its picture replaces the over picture at once.
  button.SetImageMode(TStateMode::smON);
  EXPECT_TRUE(SamePixels(control.Picture(), Own(L"ButtonGame_ON")));
  // Someone else set another pointer meanwhile; leaving still clears the override.
  app.SetCursorOverride(LoadCursorW(nullptr, IDC_WAIT));
  control.OnMouseLeave();
  EXPECT_EQ(app.CursorOverride(), nullptr);
  EXPECT_TRUE(SamePixels(control.Picture(), Own(L"ButtonGame_ON")));
  // The control shows a copy, never the button's own bitmap: giving the control other pixels
  // leaves the button's pictures as they were. (Copies share the decoded pixels, which no one
  // changes in place.)
  control.SetPicture(MaskOf(1, 1, {0xFF00FF00}));
  EXPECT_EQ(control.Picture().Width(), 1);
  button.SetImageMode(TStateMode::smON);
  EXPECT_TRUE(SamePixels(control.Picture(), Own(L"ButtonGame_ON")));
  EXPECT_EQ(control.Picture().Width(), 31);
}

TEST_F(SkinTest, ImageButtonWithoutOverPictureLeavesTheControlsHandlersAlone) {
  TestForm form;
  TImage control(form.Handle(), 0, 0, 6, 7, L"cell");
  int entered = 0;
  control.OnMouseEnter = [&] { ++entered; };
  {
    TPNGResourceImage cell(&control, L"PROGRESSBAR_GAME", L"PROGRESSBAR_BACKGROUND");
    control.OnMouseEnter();
    EXPECT_EQ(entered, 1);
    EXPECT_FALSE(control.OnMouseLeave);
    EXPECT_EQ(TApplication::Instance().CursorOverride(), nullptr);
    EXPECT_TRUE(SamePixels(control.Picture(), Own(L"PROGRESSBAR_BACKGROUND")));
  }
  // A button that fails to load its pictures is not made, and touches nothing.
  EXPECT_THROW(TPNGResourceImage(&control, L"ButtonGame_ON", L"Missing", L"ButtonGame_OVER"), Exception);
  control.OnMouseEnter();
  EXPECT_EQ(entered, 2);
}

TEST_F(SkinTest, ProgressBarCellsAreChildWindowsInARowThatFlipOneByOne) {
  TestForm form;
  TImageProgressBar bar(TImageRect{18, 40, 6, 7}, 2);
  bar.AddImage(form.Handle(), L"PROGRESSBAR_GAME", L"PROGRESSBAR_BACKGROUND", 15);
  ASSERT_EQ(bar.Max(), 15);
  const std::vector<HWND> cells = Children(form.Handle());
  ASSERT_EQ(cells.size(), 15u);
  for (int k = 0; k < 15; ++k) {
    RECT r{};
    GetWindowRect(cells[k], &r);
    MapWindowPoints(HWND_DESKTOP, form.Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 40 + 8 * k);
    EXPECT_EQ(r.top, 18);
    EXPECT_EQ(r.right - r.left, 6);
    EXPECT_EQ(r.bottom - r.top, 7);
    // A new bar reads invisible, but its cells are shown until Visible is assigned.
    EXPECT_TRUE(GetWindowLongPtrW(cells[k], GWL_STYLE) & WS_VISIBLE);
  }
  EXPECT_FALSE(bar.Visible());

  const TBitmap lit = Own(L"PROGRESSBAR_GAME");
  const auto litCells = [&] {
    std::vector<bool> on;
    for (int k = 0; k < 15; ++k) on.push_back(bar.Cell(static_cast<std::size_t>(k)).ImageMode() == TStateMode::smON);
    return on;
  };
  for (int n = 1; n <= 15; ++n) bar.SetPosition(n);
  EXPECT_EQ(litCells(), std::vector<bool>(15, true));
  EXPECT_TRUE(SamePixels(bar.Cell(14).Image()->Picture(), lit));
  for (int n = 15; n >= 1; --n) bar.SetPosition(n);
  EXPECT_EQ(litCells(), std::vector<bool>(15, false));

  bar.SetStateMode(TStateMode::smON);
  EXPECT_EQ(bar.Position(), 1);
  EXPECT_EQ(litCells(), std::vector<bool>(15, true));

  bar.SetVisible(false);
  for (HWND cell : cells) EXPECT_FALSE(GetWindowLongPtrW(cell, GWL_STYLE) & WS_VISIBLE);
  bar.SetVisible(true);
  for (HWND cell : cells) EXPECT_TRUE(GetWindowLongPtrW(cell, GWL_STYLE) & WS_VISIBLE);
  // The cells' controls belong to the window: releasing the bar leaves them there.
  bar.Clear();
  EXPECT_EQ(Children(form.Handle()).size(), 15u);
}

TEST_F(SkinTest, EachPictureIsDecodedOnceAndSharedWhileAnyoneShowsIt) {
  TestForm form;
  TImageProgressBar bar(TImageRect{18, 40, 6, 7}, 2);
  bar.AddImage(form.Handle(), L"PROGRESSBAR_GAME", L"PROGRESSBAR_BACKGROUND", 15);
  bar.SetStateMode(TStateMode::smON);
  // Every cell shows the one decoded picture, whatever case its name was asked in.
  const HBITMAP lit = Own(L"progressbar_game").Handle();
  ASSERT_TRUE(lit);
  for (std::size_t k = 0; k < 15; ++k) EXPECT_EQ(bar.Cell(k).Image()->Picture().Handle(), lit);
  EXPECT_NE(Own(L"PROGRESSBAR_BACKGROUND").Handle(), lit);

  // A copy that takes other pixels leaves the shared picture as it was.
  TBitmap copy = Own(L"PROGRESSBAR_GAME");
  const std::vector<std::uint32_t> before(copy.Pixels().begin(), copy.Pixels().end());
  copy.SetPixels(1, 1, std::vector<std::uint8_t>(4, 0x11));
  EXPECT_EQ(copy.Width(), 1);
  const TBitmap again = Own(L"PROGRESSBAR_GAME");
  EXPECT_EQ(again.Handle(), lit);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), again.Pixels().begin(), again.Pixels().end()));
}

TEST_F(SkinTest, LayeredModeMovesTheControlsOntoAnOwnedColourKeyedFormAndBack) {
  TestForm form;
  const HWND owner = form.Handle();
  TImage first(owner, 5, 5, 10, 10, L"first");
  TLabel label(owner, 20, 5, 60, 10, L"label", TLabel::Font{L"Tahoma", -11, DEFAULT_CHARSET, 0}, false);
  TImage last(owner, 90, 5, 10, 10, L"last");
  const std::vector<HWND> order = {first.Handle(), label.Handle(), last.Handle()};
  ASSERT_EQ(Children(owner), order);

  TJvTransparentForm skin(owner, [] { return TestForm::kStyle; });
  EXPECT_EQ(skin.LayeredTransparentControlColor(), 0xFEFEFEu);
  EXPECT_EQ(skin.LayeredAlphaValue(), 255);
  skin.SetMode(TJvTransparentFormMode::tfmLayeredWindow);
  skin.SetMask(MaskOf(4, 2, std::vector<std::uint32_t>(8, 0xFF404040u)));
  skin.SetActive(true);

  const LONG_PTR style = GetWindowLongPtrW(owner, GWL_STYLE);
  EXPECT_EQ(style & 0x00CF0000, 0) << "caption, border, system menu, size box and boxes are off";
  EXPECT_TRUE(GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_LAYERED);
  const HWND controlForm = skin.ControlFormHandle();
  ASSERT_NE(controlForm, nullptr);
  EXPECT_EQ(GetWindow(controlForm, GW_OWNER), owner);
  EXPECT_EQ(GetWindowLongPtrW(controlForm, GWL_STYLE) & ~LONG_PTR{WS_VISIBLE | WS_CLIPSIBLINGS}, WS_POPUP);
  EXPECT_TRUE(GetWindowLongPtrW(controlForm, GWL_EXSTYLE) & WS_EX_LAYERED);
  COLORREF key = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(controlForm, &key, nullptr, &flags));
  EXPECT_EQ(key, 0xFEFEFEu);
  EXPECT_TRUE(flags & LWA_COLORKEY);
  EXPECT_EQ(Children(controlForm), order) << "moved in their painting order";
  EXPECT_TRUE(label.Transparent()) << "a label shows the skin beneath it";
  RECT ownerRect{}, formRect{};
  GetWindowRect(owner, &ownerRect);
  GetWindowRect(controlForm, &formRect);
  EXPECT_TRUE(EqualRect(&ownerRect, &formRect));

  // Active := true again applies nothing more: a frame put back by hand stays.
  SetWindowLongPtrW(owner, GWL_STYLE, GetWindowLongPtrW(owner, GWL_STYLE) | WS_CAPTION);
  skin.SetActive(true);
  EXPECT_TRUE(GetWindowLongPtrW(owner, GWL_STYLE) & WS_CAPTION);

  skin.SetActive(false);
  EXPECT_EQ(GetWindowLongPtrW(owner, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  EXPECT_FALSE(GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(skin.ControlFormHandle(), nullptr);
  EXPECT_FALSE(IsWindow(controlForm));
  EXPECT_EQ(Children(owner), order) << "back on the owner in their order";
}

TEST_F(SkinTest, LayeredControlFormFollowsHidesWithItsOwnerAndPassesThePointerOn) {
  TestForm form;
  const HWND owner = form.Handle();
  TImage button(owner, 10, 10, 20, 20, L"button");
  TJvTransparentForm skin(owner, [] { return TestForm::kStyle; });
  skin.SetMode(TJvTransparentFormMode::tfmLayeredWindow);
  skin.SetMovableForm(true);
  skin.SetMask(MaskOf(4, 4, std::vector<std::uint32_t>(16, 0xFF808080u)));
  skin.SetActive(true);
  const HWND controlForm = skin.ControlFormHandle();
  ASSERT_NE(controlForm, nullptr);
  EXPECT_FALSE(IsWindowVisible(controlForm)) << "hidden while the owner is";

  ShowWindow(owner, SW_SHOWNOACTIVATE);
  Pump();
  EXPECT_TRUE(IsWindowVisible(controlForm));
  SetWindowPos(owner, nullptr, 321, 123, 80, 60, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT formRect{};
  GetWindowRect(controlForm, &formRect);
  EXPECT_EQ(formRect.left, 321);
  EXPECT_EQ(formRect.top, 123);
  EXPECT_EQ(formRect.right - formRect.left, 80);
  EXPECT_EQ(formRect.bottom - formRect.top, 60);

  // Anywhere on the owner drags it; on the control form a control takes the pointer, and every
  // other point goes on to the owner.
  EXPECT_EQ(SendMessageW(owner, WM_NCHITTEST, 0, MAKELPARAM(321 + 70, 123 + 50)), HTCAPTION);
  EXPECT_EQ(SendMessageW(controlForm, WM_NCHITTEST, 0, MAKELPARAM(321 + 15, 123 + 15)), HTCLIENT);
  EXPECT_EQ(SendMessageW(controlForm, WM_NCHITTEST, 0, MAKELPARAM(321 + 60, 123 + 50)), HTTRANSPARENT);
  skin.SetMovableForm(false);
  EXPECT_NE(SendMessageW(owner, WM_NCHITTEST, 0, MAKELPARAM(321 + 70, 123 + 50)), HTCAPTION);

  // Closing the control form closes the owner instead, with the owner's answer.
  EXPECT_EQ(SendMessageW(controlForm, WM_CLOSE, 0, 0), 77);
  EXPECT_EQ(form.closeRequests, 1);
  EXPECT_TRUE(IsWindow(controlForm));

  ShowWindow(owner, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(controlForm));
  ShowWindow(owner, SW_SHOWNOACTIVATE);
  Pump();
  EXPECT_TRUE(IsWindowVisible(controlForm));
}

TEST_F(SkinTest, RegionModesCutTheOwnerToTheMaskAndPropertiesKeepTheirRules) {
  TestForm form;
  const HWND owner = form.Handle();
  const std::uint32_t clear = 0x00000000u, faint = 0x01000000u, white = 0xFFFFFFFFu, grey = 0xFF808080u;
  // 4 x 3; the top-left pixel is white, and white appears once more in the last row.
  const TBitmap mask = MaskOf(4, 3, {white, grey, grey, clear,  //
                                     clear, faint, grey, grey,  //
                                     grey, white, clear, grey});
  const auto inside = [&](HRGN region) {
    std::vector<bool> in;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) in.push_back(PtInRegion(region, x, y) != FALSE);
    return in;
  };
  const std::vector<bool> byAlpha = {true, true, true, false, false, true, true, true, true, true, false, true};
  // Colour-keyed on white: black (the transparent pixels' colour) stays inside.
  const std::vector<bool> byKey = {false, true, true, true, true, true, true, true, true, false, true, true};

  UniqueHRgn region = CreateRegionFromBitmap(mask, RGB(255, 255, 255), true);
  ASSERT_TRUE(region);
  EXPECT_EQ(inside(region.get()), byAlpha);
  EXPECT_FALSE(CreateRegionFromBitmap(TBitmap(), 0, true));
  EXPECT_FALSE(CreateRegionFromBitmap(MaskOf(2, 1, {clear, clear}), 0, true));

  TJvTransparentForm skin(owner, [] { return TestForm::kStyle; });
  skin.SetMask(mask);
  skin.SetMode(TJvTransparentFormMode::tfmWindowRegionAlphaChannel);
  skin.SetActive(true);
  UniqueHRgn applied(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(owner, applied.get()), ERROR);
  EXPECT_EQ(inside(applied.get()), byAlpha);

  skin.SetMode(TJvTransparentFormMode::tfmWindowRegion);  // removes, then cuts by the corner's colour
  ASSERT_NE(GetWindowRgn(owner, applied.get()), ERROR);
  EXPECT_EQ(inside(applied.get()), byKey);

  skin.SetLayeredAlphaValue(300);
  EXPECT_EQ(skin.LayeredAlphaValue(), 255);
  skin.SetLayeredAlphaValue(-5);
  EXPECT_EQ(skin.LayeredAlphaValue(), 0);
  EXPECT_EQ(skin.ControlFormHandle(), nullptr) << "no control form in a region mode";

  skin.SetActive(false);
  EXPECT_EQ(GetWindowRgn(owner, applied.get()), ERROR) << "the region is gone";
  EXPECT_TRUE(GetWindowLongPtrW(owner, GWL_STYLE) & WS_CAPTION);

  // A mask with no pixel inside gives no region: the whole window shows.
  skin.SetMask(MaskOf(2, 2, {clear, clear, clear, clear}));
  skin.SetMode(TJvTransparentFormMode::tfmWindowRegionAlphaChannel);
  skin.SetActive(true);
  EXPECT_EQ(GetWindowRgn(owner, applied.get()), ERROR);
}
