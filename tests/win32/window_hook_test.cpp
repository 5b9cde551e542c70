// TWindowHook on real windows: it sits in front of a window's procedure, passes on what it does
// not take, and lets go without cutting off a procedure that came after it.

#include "ui/window_hook.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kPing = WM_APP + 1;
std::vector<std::string> gLog;

LRESULT CALLBACK OriginalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing) gLog.push_back("original");
  if (message == WM_NCDESTROY) gLog.push_back("original: last message");
  return DefWindowProcW(window, message, wParam, lParam);
}

// A later hook of the plain kind, as other code might put on the same window.
WNDPROC gBeforeLater = nullptr;
LRESULT CALLBACK LaterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing) gLog.push_back("later");
  return CallWindowProcW(gBeforeLater, window, message, wParam, lParam);
}

class WindowHook : public testing::Test {
protected:
  void SetUp() override {
    gLog.clear();
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &OriginalProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"WindowHookTest";
      return RegisterClassW(&wc);
    }();
    ASSERT_NE(atom, 0);
    window_ = CreateWindowExW(0, L"WindowHookTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
  }

  // The hook logs, and takes kPing with wParam 1 without passing it on.
  TWindowHook::Handler LoggingHandler(TWindowHook& hook) {
    return [&hook](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message == kPing) {
        gLog.push_back("hook");
        if (wParam == 1) return 7;
      }
      return hook.CallPrevious(message, wParam, lParam);
    };
  }
  WNDPROC Procedure() const { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC)); }

  HWND window_ = nullptr;
};

}  // namespace

TEST_F(WindowHook, PassesOnWhatItDoesNotTakeAndGivesTheProcedureBackWhenItLetsGo) {
  const WNDPROC original = Procedure();
  TWindowHook hook;
  ASSERT_TRUE(hook.Attach(window_, LoggingHandler(hook), nullptr));
  TWindowHook second;
  EXPECT_FALSE(second.Attach(window_, LoggingHandler(second), nullptr)) << "one hook per window";

  SendMessageW(window_, kPing, 0, 0);
  EXPECT_EQ(SendMessageW(window_, kPing, 1, 0), 7);
  EXPECT_EQ(gLog, (std::vector<std::string>{"hook", "original", "hook"}));

  hook.Detach();
  EXPECT_EQ(Procedure(), original);
  gLog.clear();
  SendMessageW(window_, kPing, 1, 0);
  EXPECT_EQ(gLog, std::vector<std::string>{"original"});
  // Free again for another hook.
  EXPECT_TRUE(second.Attach(window_, LoggingHandler(second), nullptr));
}

TEST_F(WindowHook, LettingGoUnderALaterHookKeepsBothTheLaterAndTheEarlierProcedure) {
  TWindowHook hook;
  ASSERT_TRUE(hook.Attach(window_, LoggingHandler(hook), nullptr));
  gBeforeLater = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterProc)));
  hook.Detach();
  EXPECT_EQ(Procedure(), &LaterProc) << "the later hook was cut off";

  SendMessageW(window_, kPing, 1, 0);
  EXPECT_EQ(gLog, (std::vector<std::string>{"later", "original"}));
  // The record left behind goes with the window.
  EXPECT_TRUE(DestroyWindow(window_));
  EXPECT_EQ(gLog.back(), "original: last message");
}

TEST_F(WindowHook, TheWindowsEndLetsGoAndTellsTheHookBeforeTheEarlierProcedureSeesIt) {
  TWindowHook hook;
  ASSERT_TRUE(hook.Attach(window_, LoggingHandler(hook), [&] {
    gLog.push_back(hook.Attached() ? "gone, still attached" : "gone");
  }));
  EXPECT_TRUE(DestroyWindow(window_));
  ASSERT_GE(gLog.size(), 2u);
  EXPECT_EQ(gLog[gLog.size() - 2], "gone");
  EXPECT_EQ(gLog.back(), "original: last message");
  EXPECT_FALSE(hook.Attached());
}
