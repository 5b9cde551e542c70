// An error that leaves a window's handler reaches the default error handler: a stop box with the
// application title as caption, and the program goes on.

#include "common/error.h"
#include "driver.h"
#include "ui/application.h"
#include "ui/window.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

namespace {

constexpr UINT kThrowLagvaneError = WM_APP + 1;
constexpr UINT kThrowStdError = WM_APP + 2;
constexpr UINT kAnswer = WM_APP + 3;

class ThrowingWindow : public Window<ThrowingWindow> {
public:
  static constexpr wchar_t kClassName[] = L"LagvaneThrowingWindow";
  ThrowingWindow() {
    RegisterWindowClass();
    CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
  }
  ~ThrowingWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }

private:
  friend class Window<ThrowingWindow>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case kThrowLagvaneError: throw Exception(L"Failed to get data for 'TCPNoDelay'");
      case kThrowStdError: throw std::runtime_error("disk on fire");
      case kAnswer: return 42;
      default: return DefaultProc(message, wParam, lParam);
    }
  }
};

// Sends `message` on this thread while another thread reads and dismisses the box it brings.
driver::MessageBoxInfo SendAndReadBox(HWND window, UINT message) {
  const DWORD uiThread = GetCurrentThreadId();
  auto watcher = std::async(std::launch::async, [uiThread] {
    auto box = driver::WaitForThreadMessageBox(uiThread, std::chrono::seconds(20));
    if (box) driver::AnswerMessageBox(box->window, IDOK);
    return box;
  });
  SendMessageW(window, message, 0, 0);
  auto box = watcher.get();
  if (!box) throw std::runtime_error("no message box appeared");
  return *box;
}

}  // namespace

TEST(DefaultErrorHandler, ShowsTheErrorInAStopBoxCaptionedWithTheTitleAndGoesOn) {
  TApplication& app = TApplication::Initialize();
  app.SetTitle(L"");
  ThrowingWindow window;
  ASSERT_NE(window.Handle(), nullptr);

  const auto box = SendAndReadBox(window.Handle(), kThrowLagvaneError);
  EXPECT_EQ(box.caption, L"");
  EXPECT_EQ(box.text, L"Failed to get data for 'TCPNoDelay'");
  EXPECT_TRUE(box.hasIcon);

  // The window outlived the error and answers as before.
  EXPECT_EQ(SendMessageW(window.Handle(), kAnswer, 0, 0), 42);

  app.SetTitle(L"Caption");
  const auto second = SendAndReadBox(window.Handle(), kThrowStdError);
  EXPECT_EQ(second.caption, L"Caption");
  EXPECT_EQ(second.text, L"disk on fire.");
  app.SetTitle(L"");
}
