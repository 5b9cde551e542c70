// Start-up and shutdown of the real program: one instance, one window, clean ends.

#include "driver.h"
#include "maker_server.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace driver;

namespace {

class Startup : public e2e::WithMakerServer {};

// Ends the program through a close request and returns its exit code.
std::optional<DWORD> CloseAndWait(AppProcess& app, HWND window) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  return app.WaitForExit(20s);
}

}  // namespace

TEST_F(Startup, ShowsTheBorderlessMainWindowThatOwnsTheTaskbarButton) {
  AppProcess app = AppProcess::Start();
  const HWND window = app.MainWindow();
  ASSERT_NE(window, nullptr) << "no main window appeared";

  EXPECT_EQ(TextOf(window), L"LAGVANE");
  const RECT bounds = WindowRectOf(window);
  EXPECT_EQ(bounds.right - bounds.left, 247);
  EXPECT_EQ(bounds.bottom - bounds.top, 42);
  // Centred on the work area at its final size.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR(bounds.left - work.left, (work.right - work.left - 247) / 2, 1);
  EXPECT_NEAR(bounds.top - work.top, (work.bottom - work.top - 42) / 2, 1);

  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  EXPECT_EQ(style & WS_CAPTION, 0) << "the window has no border or title bar";
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_NE(exStyle & WS_EX_APPWINDOW, 0);
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr) << "no hidden window owns the taskbar button";
  // The program shows two top-level windows: the main window with the skin, and the control form
  // that carries the controls, a popup owned by the main window (so it has no taskbar button).
  const std::vector<HWND> visible = TopLevelWindows(app.Id());
  ASSERT_EQ(visible.size(), 2u);
  const HWND controlForm = visible[0] == window ? visible[1] : visible[0];
  EXPECT_NE(std::find(visible.begin(), visible.end(), window), visible.end());
  EXPECT_EQ(ClassNameOf(controlForm), L"TJvControlForm");
  EXPECT_EQ(GetWindow(controlForm, GW_OWNER), window);
  EXPECT_EQ(GetWindowLongPtrW(controlForm, GWL_STYLE) & (WS_CHILD | WS_CAPTION), 0);
  EXPECT_EQ(GetWindowLongPtrW(controlForm, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

  EXPECT_EQ(CloseAndWait(app, window), std::optional<DWORD>(0));
}

TEST_F(Startup, SecondStartEndsAtOnceWithoutShowingAnything) {
  AppProcess first = AppProcess::Start();
  const HWND window = first.MainWindow();
  ASSERT_NE(window, nullptr);

  AppProcess second = AppProcess::Start();
  bool showedSomething = false;
  WaitUntil(
      [&] {
        if (!TopLevelWindows(second.Id()).empty()) showedSomething = true;
        return !second.Running();
      },
      20s, 10ms);
  EXPECT_EQ(second.WaitForExit(0s), std::optional<DWORD>(0));
  EXPECT_FALSE(showedSomething);

  // The first instance is untouched and still ends normally.
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(CloseAndWait(first, window), std::optional<DWORD>(0));
}

TEST_F(Startup, EndOfSessionRunsTheCloseQueryAndEndsTheProgram) {
  AppProcess app = AppProcess::Start();
  const HWND window = app.MainWindow();
  ASSERT_NE(window, nullptr);

  DWORD_PTR allowed = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &allowed));
  EXPECT_EQ(allowed, TRUE) << "the program never refuses the end of a session";
  // Another program cancelled the log-off: the tuning object is gone, so the program ends.
  PostMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
  EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0));
}
