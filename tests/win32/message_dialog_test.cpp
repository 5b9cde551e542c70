// The confirmation bubble in its own modal loop: how each answer ends it, the picture it shows
// for each mode and side, and the hand over its two hit areas, with the real pointer.

#include "driver.h"
#include "ui/application.h"
#include "ui/bubble_placement.h"
#include "ui/image_control.h"
#include "ui/message_dialog.h"
#include "ui/png_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Steps run one by one from a timer, inside the bubble's modal loop.
std::vector<std::function<void()>> gSteps;
std::size_t gNext = 0;

void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
  if (gNext >= gSteps.size()) {
    KillTimer(nullptr, timer);
    return;
  }
  gSteps[gNext++]();
}

// Shows the bubble modally while the steps run, 300 ms apart.
int ShowWithSteps(TfrmMessageDialog& bubble, std::vector<std::function<void()>> steps) {
  gSteps = std::move(steps);
  gNext = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 300, &RunStep);
  const int result = bubble.ShowModal();
  KillTimer(nullptr, timer);
  return result;
}

void ClickOn(HWND control) {
  SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

class Bubble : public ::testing::Test {
protected:
  void SetUp() override {
    TApplication::Initialize();
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 400, 300, 247, 42, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }
  HWND owner_ = nullptr;
};

}  // namespace

TEST_F(Bubble, EndsWithYesOnlyForYesAndEveryOtherWayIsNo) {
  struct Case {
    const char* how;
    std::function<void(TfrmMessageDialog&)> answer;
    int result;
  };
  const std::vector<Case> cases = {
      {"Yes", [](TfrmMessageDialog& b) { ClickOn(b.YesArea().Handle()); }, TfrmMessageDialog::mrYes},
      {"No", [](TfrmMessageDialog& b) { ClickOn(b.NoArea().Handle()); }, TfrmMessageDialog::mrNo},
      {"Escape", [](TfrmMessageDialog& b) { PostMessageW(b.Handle(), WM_KEYDOWN, VK_ESCAPE, 0); }, TfrmMessageDialog::mrNo},
      {"close request", [](TfrmMessageDialog& b) { PostMessageW(b.Handle(), WM_CLOSE, 0, 0); }, TfrmMessageDialog::mrNo},
      {"a click on the keyed-out red", [](TfrmMessageDialog& b) {
         ClickOn(b.Background().Handle());
         PostMessageW(b.Handle(), WM_CLOSE, 0, 0);
       }, TfrmMessageDialog::mrNo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    TfrmMessageDialog bubble(owner_);
    bubble.SetMode(TKindMode::kmGame);
    bubble.SetIsTop(true);
    bool ownerDisabled = false;
    bool bubbleShown = false;
    const int result = ShowWithSteps(bubble, {[&] {
                                                ownerDisabled = !IsWindowEnabled(owner_);
                                                bubbleShown = IsWindowVisible(bubble.Handle()) != FALSE;
                                                c.answer(bubble);
                                              }});
    EXPECT_EQ(result, c.result);
    EXPECT_TRUE(ownerDisabled) << "the owner took input while the bubble asked";
    EXPECT_TRUE(bubbleShown);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(bubble.Handle()));
  }
}

TEST_F(Bubble, ShowsThePictureOfItsModeAndSide) {
  struct Case {
    TKindMode mode;
    bool top;
    const wchar_t* picture;
  };
  for (const Case c : {Case{TKindMode::kmGame, true, L"POPUP_GAME"}, Case{TKindMode::kmGame, false, L"POPUP_GAME_UNDER"},
                       Case{TKindMode::kmWeb, true, L"POPUP_WEB"}, Case{TKindMode::kmWeb, false, L"POPUP_WEB_UNDER"}}) {
    SCOPED_TRACE(testing::Message() << static_cast<const void*>(c.picture));
    TfrmMessageDialog bubble(owner_);
    bubble.SetMode(c.mode);
    bubble.SetIsTop(c.top);
    ShowWithSteps(bubble, {[&] { PostMessageW(bubble.Handle(), WM_CLOSE, 0, 0); }});
    TBitmap expected;
    LoadPNGResourceToBitmap(expected, c.picture);
    const TBitmap& shown = bubble.Background().Picture();
    const auto a = shown.Pixels();
    const auto b = expected.Pixels();
    EXPECT_EQ(shown.Width(), expected.Width());
    EXPECT_EQ(shown.Height(), expected.Height());
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
  }
}

// The pointer is read in this process: a cursor handle means nothing in another.
TEST_F(Bubble, ThePointerIsAHandOverYesAndNoAndGoesWithTheBubble) {
  TfrmMessageDialog bubble(owner_);
  bubble.SetMode(TKindMode::kmWeb);
  bubble.SetIsTop(true);
  SetWindowPos(bubble.Handle(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  const auto moveTo = [](int left) {
    const POINT centre{300 + left + kBubbleHitWidth / 2, 200 + 48 + kBubbleHitHeight / 2};
    driver::MoveTo({centre.x - 1, centre.y});
    driver::MoveTo(centre);
  };
  const auto pointer = [] {
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    GetCursorInfo(&info);
    return info.hCursor;
  };
  HCURSOR overYes = nullptr, overNo = nullptr;
  ShowWithSteps(bubble, {[&] { moveTo(kBubbleYesLeft); }, [&] { overYes = pointer(); },
                         [&] { moveTo(kBubbleNoLeft); }, [&] { overNo = pointer(); },
                         [&] { PostMessageW(bubble.Handle(), WM_CLOSE, 0, 0); }});
  EXPECT_EQ(overYes, hand);
  EXPECT_EQ(overNo, hand) << "the late leave of Yes took the hand from No";
  EXPECT_EQ(TApplication::Instance().CursorOverride(), nullptr) << "the hand outlived the bubble";
}
