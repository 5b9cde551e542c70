// The tray icon, the popup menu and the small buttons of the real program, driven as a user
// would: the mouse on the tray icon and the buttons, the keyboard in the menu (menus are local to
// their process under Wine, so their items cannot be read from here; the Windows-side tests read
// them in-process).

#include "driver.h"
#include "maker_server.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace driver;

namespace {

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"LAGVANE";

// Keyboard steps from the menu's opening to each item; separators are skipped.
constexpr int kOpenItem = 1;
constexpr int kStayOnTopItem = 4;
constexpr int kWindowStartItem = 5;
constexpr int kHomepageItem = 6;
constexpr int kTovalinItem = 7;
constexpr int kQuitItem = 8;

HWND TrayIconWindow() {
  const std::vector<HWND> icons = TrayIconWindows();
  return icons.empty() ? nullptr : icons.front();
}

int TrayIconCount() { return static_cast<int>(TrayIconWindows().size()); }

POINT CentreOf(HWND window) {
  const RECT r = WindowRectOf(window);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class TrayAndMenu : public e2e::WithMakerServer {
protected:
  void SetUp() override {
    WithMakerServer::SetUp();
    reg::DeleteValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
    DeleteFileW(browserLog_.c_str());
    SetEnvironmentVariableW(L"LAGVANE_BROWSER_LOG", browserLog_.c_str());
    app_.emplace(AppProcess::Start());
    window_ = app_->MainWindow();
    ASSERT_NE(window_, nullptr);
    ASSERT_NE(app_->WaitForWindow(L"TJvControlForm", 10s), nullptr);
    ASSERT_TRUE(WaitUntil([] { return TrayIconWindow() != nullptr; }, 10s)) << "no tray icon";
    std::this_thread::sleep_for(800ms);
  }
  void TearDown() override {
    if (HasFailure()) Screenshot::Capture().Save(BinDir() + L"\\tray_menu_failure.bmp");
    if (app_ && app_->Running() && window_) {
      PressKey(VK_ESCAPE);
      PostMessageW(window_, WM_CLOSE, 0, 0);
      EXPECT_EQ(app_->WaitForExit(20s), std::optional<DWORD>(0));
    }
    reg::DeleteValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
    // The stand-in browser may still be ending.
    WaitUntil([&] { return DeleteFileW(browser_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; }, 5s);
    SetEnvironmentVariableW(L"LAGVANE_BROWSER_LOG", nullptr);
    WithMakerServer::TearDown();
  }

  // A point of the main window, in its own pixels.
  POINT At(int x, int y) const {
    const RECT r = WindowRectOf(window_);
    return {r.left + x, r.top + y};
  }
  HWND ControlForm() const {
    for (HWND w : TopLevelWindows(app_->Id(), false)) {
      if (ClassNameOf(w) == L"TJvControlForm") return w;
    }
    return nullptr;
  }
  bool Topmost() const { return (GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
  // Stay-on-top rebuilds the skin after the menu has closed: the layered style comes back and the
  // controls move to a new, visible control form. On a loaded machine that outlasts the menu.
  bool SkinRebuiltOnTop(HWND oldForm) const {
    const HWND form = ControlForm();
    return Topmost() && (GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED) != 0 && form && form != oldForm &&
           IsWindowVisible(form) && FindWindowExW(window_, nullptr, nullptr, nullptr) == nullptr;
  }
  // Opens the menu from the settings button and chooses an item by keyboard.
  void ChooseFromSettings(int steps) {
    ClickAt(At(218, 9));
    ASSERT_NE(WaitForMenu(*app_), nullptr) << "the settings button opened no menu";
    ChooseMenuItem(steps);
    ASSERT_TRUE(WaitUntil([&] { return app_->WaitForWindow(L"#32768", 0ms) == nullptr; }, 5s));
    std::this_thread::sleep_for(300ms);
  }

  // The addresses the stand-in browser was started with, one a start.
  std::vector<std::string> BrowserStarts() const {
    std::vector<std::string> lines;
    std::ifstream log{std::filesystem::path(browserLog_)};
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }

  std::optional<AppProcess> app_;
  HWND window_ = nullptr;
  // Beside the program, where the shell looks first for "iexplore".
  const std::wstring browser_ = BinDir() + L"\\iexplore.exe";
  const std::wstring browserLog_ = BinDir() + L"\\browser.log";
};

}  // namespace

TEST_F(TrayAndMenu, TheCloseButtonHidesTheWindowAndATrayDoubleClickShowsItAgainInPlace) {
  EXPECT_EQ(TrayIconCount(), 1);
  const RECT before = WindowRectOf(window_);
  // The grey picture: no mode is active.
  {
    const Screenshot shot = Screenshot::Capture();
    const RECT icon = WindowRectOf(TrayIconWindow());
    bool grey = false;
    for (int y = icon.top; y < icon.bottom && !grey; ++y) {
      for (int x = icon.left; x < icon.right && !grey; ++x) grey = shot.Pixel(x, y) == RGB(125, 125, 125);
    }
    EXPECT_TRUE(grey) << "the tray icon does not show the grey picture";
  }

  ClickAt(At(233, 9));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(window_); }, 5s)) << "the close button did not hide it";
  EXPECT_FALSE(IsWindowVisible(ControlForm()));
  EXPECT_TRUE(app_->Running());
  EXPECT_EQ(TrayIconCount(), 1);

  // A single left click on the icon does nothing.
  ClickAt(CentreOf(TrayIconWindow()));
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(IsWindowVisible(window_));

  DoubleClickAt(CentreOf(TrayIconWindow()));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window_) != FALSE; }, 5s)) << "the double click showed nothing";
  const RECT after = WindowRectOf(window_);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(ControlForm()) != FALSE; }, 5s));
  EXPECT_NE(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED, 0) << "the skin is back";
}

TEST_F(TrayAndMenu, TheMenuOpensAtThePointerFromTheTrayAndFromTheSettingsButton) {
  const POINT icon = CentreOf(TrayIconWindow());
  RightClickAt(icon);
  HWND menu = WaitForMenu(*app_);
  ASSERT_NE(menu, nullptr) << "the tray's right button opened no menu";
  RECT r = WindowRectOf(menu);
  EXPECT_NEAR(r.left, icon.x, 2);
  EXPECT_NEAR(r.top, icon.y, 2);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([&] { return app_->WaitForWindow(L"#32768", 0ms) == nullptr; }, 5s));

  const POINT setup = At(218, 9);
  ClickAt(setup);
  menu = WaitForMenu(*app_);
  ASSERT_NE(menu, nullptr) << "the settings button opened no menu";
  r = WindowRectOf(menu);
  EXPECT_NEAR(r.left, setup.x, 2);
  EXPECT_NEAR(r.top, setup.y, 2);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([&] { return app_->WaitForWindow(L"#32768", 0ms) == nullptr; }, 5s));

  // The settings button's context click opens it too.
  RightClickAt(setup);
  ASSERT_NE(WaitForMenu(*app_), nullptr) << "the settings button's context click opened no menu";
}

TEST_F(TrayAndMenu, RegisteringAsAStartUpProgramTwiceLeavesTheRunValueAsItWas) {
  ChooseFromSettings(kWindowStartItem);
  ASSERT_TRUE(reg::ValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
  ChooseFromSettings(kWindowStartItem);
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));

  // The entry follows the registry, not the earlier choices: a value written behind the
  // program's back is removed by the next choice.
  reg::WriteString(HKEY_CURRENT_USER, kRunKey, kRunValue, L"C:\\elsewhere\\LAGVANE.exe");
  ChooseFromSettings(kWindowStartItem);
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
}

TEST_F(TrayAndMenu, StayOnTopOnAndOffKeepsTheSkinAndEveryControlWorking) {
  const HWND firstForm = ControlForm();
  ChooseFromSettings(kStayOnTopItem);
  WaitUntil([&] { return SkinRebuiltOnTop(firstForm); }, 5s);
  EXPECT_NE(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_NE(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  const HWND secondForm = ControlForm();
  ASSERT_NE(secondForm, nullptr);
  EXPECT_NE(secondForm, firstForm) << "a new control form carries the controls";
  EXPECT_TRUE(IsWindowVisible(secondForm));
  EXPECT_EQ(GetWindow(secondForm, GW_OWNER), window_);
  EXPECT_NE(FindWindowExW(secondForm, nullptr, L"TImage", nullptr), nullptr);
  EXPECT_EQ(FindWindowExW(window_, nullptr, nullptr, nullptr), nullptr) << "no control stayed on the main window";

  // The controls on the new form still work: the settings button opens the menu again.
  ChooseFromSettings(kStayOnTopItem);
  WaitUntil([&] { return !Topmost(); }, 5s);
  EXPECT_EQ(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_NE(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  EXPECT_TRUE(IsWindowVisible(ControlForm()));

  ClickAt(At(233, 9));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(window_); }, 5s)) << "the close button stopped working";
}

TEST_F(TrayAndMenu, MinimisedThenOpenedFromTheMenuStaysMinimised) {
  ClickAt(At(201, 9));
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(window_) != FALSE; }, 5s)) << "the minimise button did nothing";
  RightClickAt(CentreOf(TrayIconWindow()));
  const HWND menu = WaitForMenu(*app_);
  ASSERT_NE(menu, nullptr);
  // "라그베인 열기" is the first item. The menu over a minimised window does not always get the
  // foreground, so the keys could miss it and the test pass without choosing anything.
  ClickFirstMenuItem(menu);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }, 5s)) << "the item was never chosen";
  std::this_thread::sleep_for(800ms);
  EXPECT_TRUE(IsIconic(window_));
}

TEST_F(TrayAndMenu, AHintAppearsOverASmallButton) {
  // The hints bring comctl32 in with the first one, not with the start.
  const auto loadsCommonControls = [&] {
    const std::vector<std::wstring> modules = ModulesOf(app_->Id());
    EXPECT_FALSE(modules.empty());
    return std::find(modules.begin(), modules.end(), L"comctl32.dll") != modules.end();
  };
  EXPECT_FALSE(loadsCommonControls()) << "comctl32 was loaded before any hint was wanted";
  MoveTo(At(150, 5));
  std::this_thread::sleep_for(200ms);
  MoveTo(At(203, 27));
  MoveTo(At(204, 28));
  HWND hint = nullptr;
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (HWND w : TopLevelWindows(app_->Id())) {
          if (ClassNameOf(w) == L"tooltips_class32") hint = w;
        }
        return hint != nullptr;
      },
      5s))
      << "no hint appeared";
  if (hint) {
    EXPECT_EQ(TextOf(hint), L"라그베인 홈페이지");
  }
  EXPECT_TRUE(loadsCommonControls());
}

TEST_F(TrayAndMenu, TheQuitItemEndsTheProgramAndTakesTheTrayIconAway) {
  ClickAt(At(218, 9));
  ASSERT_NE(WaitForMenu(*app_), nullptr);
  ChooseMenuItem(kQuitItem);
  EXPECT_EQ(app_->WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }, 5s));
}

TEST_F(TrayAndMenu, TheHomepageButtonsAndItemsOpenTheBrowserAtTheirAddresses) {
  ASSERT_TRUE(CopyFileW((BinDir() + L"\\fakes\\iexplore.exe").c_str(), browser_.c_str(), FALSE));
  const std::string maker = std::string("http://") + LAGVANE_SERVER_ADDRESS;
  const std::string tovalin = "http://www.tovalin.co.kr";
  const auto started = [&](std::size_t count) {
    return WaitUntil([&] { return BrowserStarts().size() >= count; }, 10s);
  };
  ClickAt(At(203, 27));
  ASSERT_TRUE(started(1)) << "the homepage button started no browser";
  ClickAt(At(231, 27));
  ASSERT_TRUE(started(2)) << "the partner's button started no browser";
  ChooseFromSettings(kHomepageItem);
  ASSERT_TRUE(started(3));
  ChooseFromSettings(kTovalinItem);
  ASSERT_TRUE(started(4));
  EXPECT_EQ(BrowserStarts(), (std::vector<std::string>{maker, tovalin, maker, tovalin}));
  EXPECT_TRUE(IsWindowVisible(window_));
}

TEST_F(TrayAndMenu, TheIconComesBackWhenTheTaskbarStartsAgain) {
  ASSERT_EQ(TrayIconCount(), 1);
  // A restarting taskbar has forgotten every icon, then announces itself to all top-level windows.
  HWND owner = nullptr;
  for (HWND w : TopLevelWindows(app_->Id(), false)) {
    if (ClassNameOf(w) == L"TTrayIconWindow") owner = w;
  }
  ASSERT_NE(owner, nullptr);
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = 1;  // the program's one icon
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
  ASSERT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }, 5s));
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 1; }, 5s)) << "the icon did not come back";

  // It answers as before.
  ClickAt(At(233, 9));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(window_); }, 5s));
  DoubleClickAt(CentreOf(TrayIconWindow()));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window_) != FALSE; }, 5s));
}
