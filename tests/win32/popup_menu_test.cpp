// The main window's popup menu read in-process while it is open (menus are local to their
// process under Wine), and the tray icon's image list built from the real pictures.

#include "common/texts.h"
#include "core/main_form.h"
#include "driver.h"
#include "registry_fixtures.h"
#include "tuning/speed_up.h"
#include "ui/application.h"
#include "ui/tray_icon.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct MenuLine {
  std::wstring caption;  // empty for a separator
  bool separator = false;
  bool checked = false;
  bool operator==(const MenuLine&) const = default;
};

std::vector<MenuLine> gSeen;
int gCloseBy = 0;  // 0: Escape, else the 1-based item to choose

// Runs inside the menu's modal loop: reads the open menu, then ends it as asked.
void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND menuWindow = FindWindowW(L"#32768", nullptr);
  if (!menuWindow || !IsWindowVisible(menuWindow)) return;  // not open yet: the timer comes again
  KillTimer(nullptr, timer);
  gSeen.clear();
  const HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
  for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128]{};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = static_cast<UINT>(std::size(text));
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    gSeen.push_back({text, (info.fType & MFT_SEPARATOR) != 0, (info.fState & MFS_CHECKED) != 0});
  }
  if (gCloseBy == 0) {
    EndMenu();
  } else {
    // Chosen as by the keyboard: the item's command goes back to TrackPopupMenuEx.
    for (int i = 0; i < gCloseBy; ++i) PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
  }
}

HWND ControlNamed(HWND form, const wchar_t* text) {
  for (HWND w : driver::TopLevelWindows(GetCurrentProcessId(), false)) {
    if (GetWindow(w, GW_OWNER) != form) continue;
    if (const HWND child = FindWindowExW(w, nullptr, L"TImage", text)) return child;
  }
  return FindWindowExW(form, nullptr, L"TImage", text);
}

// Opens the menu as a click on the settings button does, and reads it while it is open.
std::vector<MenuLine> MenuFromSettingsButton(HWND form, int choose = 0) {
  const HWND setup = ControlNamed(form, L"환경설정");
  EXPECT_NE(setup, nullptr);
  gCloseBy = choose;
  gSeen.clear();
  SetTimer(nullptr, 0, 200, &ReadOpenMenu);
  SendMessageW(setup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(setup, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  return gSeen;
}

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class MainWindowMenu : public ::testing::Test {
protected:
  void SetUp() override {
    TApplication::Initialize();
    driver::reg::DeleteValue(HKEY_CURRENT_USER, kRunKey, L"LAGVANE");
    TSpeedUp::CreateInstance();
    form_ = std::make_unique<TfrmMain>();
    ASSERT_TRUE(form_->Create());
    ShowWindow(form_->Handle(), SW_SHOW);
  }
  void TearDown() override {
    form_.reset();
    TSpeedUp::ReleaseInstance();
    driver::reg::DeleteValue(HKEY_CURRENT_USER, kRunKey, L"LAGVANE");
  }
  std::unique_ptr<TfrmMain> form_;
};

}  // namespace

TEST_F(MainWindowMenu, ListsEveryItemWithTheMarksOfTheRealState) {
  struct Case {
    bool runValue;
    bool topmost;
  };
  for (const Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
    SCOPED_TRACE(testing::Message() << "run value " << c.runValue << ", topmost " << c.topmost);
    if (c.runValue) {
      TSpeedUp::GetInstance().DoWindowStart();
    } else {
      TSpeedUp::GetInstance().DelWindowStart();
    }
    SetWindowPos(form_->Handle(), c.topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const std::vector<MenuLine> expected{
        {L"라그베인 열기", false, false},     {L"", true, false},
        {L"게임 최적화 실행", false, false},  {L"인터넷 최적화 실행", false, false},
        {L"", true, false},                   {L"라그베인을 항상 위로", false, c.topmost},
        {L"시작 프로그램 등록", false, c.runValue}, {L"", true, false},
        {L"라그베인 홈페이지", false, false}, {L"토발린 홈페이지", false, false},
        {L"라그베인 종료", false, false},
    };
    EXPECT_EQ(MenuFromSettingsButton(form_->Handle()), expected);
  }
}

TEST_F(MainWindowMenu, TheStartUpEntryTogglesTheRunValueAndItsMarkFollowsTheRegistry) {
  const std::wstring runKey = kRunKey;
  MenuFromSettingsButton(form_->Handle(), 5);
  EXPECT_TRUE(regtest::GetRaw(HKEY_CURRENT_USER, runKey, L"LAGVANE").has_value());
  EXPECT_TRUE(MenuFromSettingsButton(form_->Handle())[6].checked);
  MenuFromSettingsButton(form_->Handle(), 5);
  EXPECT_FALSE(regtest::GetRaw(HKEY_CURRENT_USER, runKey, L"LAGVANE").has_value());
  EXPECT_FALSE(MenuFromSettingsButton(form_->Handle())[6].checked);
}

TEST_F(MainWindowMenu, TheStatusLabelsFontAndTheHintPauseAreTheFormsOwn) {
  HWND label = nullptr;
  for (HWND w : driver::TopLevelWindows(GetCurrentProcessId(), false)) {
    if (GetWindow(w, GW_OWNER) == form_->Handle() && !label) label = FindWindowExW(w, nullptr, L"TLabel", nullptr);
  }
  ASSERT_NE(label, nullptr);
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
  LOGFONTW shown{};
  ASSERT_EQ(GetObjectW(font, sizeof(shown), &shown), static_cast<int>(sizeof(shown)));
  EXPECT_STREQ(shown.lfFaceName, L"굴림체");
  EXPECT_EQ(shown.lfCharSet, HANGEUL_CHARSET);
  EXPECT_EQ(shown.lfHeight, -8);
  // Hints come 10 ms after the pointer stops on a control.
  EXPECT_EQ(SendMessageW(TApplication::Instance().HintWindow(), TTM_GETDELAYTIME, TTDT_INITIAL, 0), 10);
}

// The pointer is read in the program's own process: a cursor handle means nothing in another.
TEST_F(MainWindowMenu, ThePointerIsAHandOverEveryButtonEvenFromOneToTheNext) {
  const HWND form = form_->Handle();
  SetForegroundWindow(form);
  const RECT r = driver::WindowRectOf(form);
  const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  // Moves there and reads the pointer once the hand came, or once the messages had their time.
  const auto handAt = [&](int x, int y) {
    driver::MoveTo({r.left + x - 1, r.top + y});
    driver::MoveTo({r.left + x, r.top + y});
    return driver::WaitUntil(
        [&] {
          for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
          CURSORINFO info{};
          info.cbSize = sizeof(info);
          GetCursorInfo(&info);
          return info.hCursor == hand;
        },
        1500ms);
  };
  // Straight from button to button, where the leave of one comes after the entry into the next;
  // then onto a divider, which keeps the ordinary pointer. (Wine sends a button no leave while the
  // pointer is on the skin, so the skin is only the first step.)
  struct Step {
    const char* name;
    int x, y;
    bool hand;
  };
  for (const Step step : {Step{"skin", 120, 8, false}, Step{"close", 233, 9, true}, Step{"minimise", 201, 9, true},
                          Step{"settings", 218, 9, true}, Step{"homepage", 203, 27, true},
                          Step{"partner", 231, 27, true}, Step{"game button", 22, 22, true},
                          Step{"internet button", 175, 27, true}, Step{"divider", 189, 27, false}}) {
    SCOPED_TRACE(step.name);
    EXPECT_EQ(handAt(step.x, step.y), step.hand);
  }
}

TEST(MainWindowMenuWithAMode, MarksTheModeFoundAtStartAndTheTrayShowsItsPicture) {
  const std::wstring msmq = L"SOFTWARE\\Microsoft\\MSMQ\\Parameters";
  const std::wstring pageLoading = L"SOFTWARE\\Microsoft\\PCHealth\\Clients\\Dialog Comments";
  struct Case {
    const char* name;
    bool game;
    bool web;
    int trayIndex;
  };
  for (const Case c : {Case{"none", false, false, 0}, Case{"game", true, false, 1}, Case{"internet", false, true, 2}}) {
    SCOPED_TRACE(c.name);
    if (c.game) driver::reg::WriteDword(HKEY_LOCAL_MACHINE, msmq, L"TCPNoDelay", 1);
    if (c.web) driver::reg::WriteDword(HKEY_LOCAL_MACHINE, pageLoading, L"Enable", 0);
    TApplication::Initialize();
    TSpeedUp::CreateInstance();
    auto form = std::make_unique<TfrmMain>();
    ASSERT_TRUE(form->Create());
    ShowWindow(form->Handle(), SW_SHOW);
    EXPECT_EQ(form->TrayIndex(), c.trayIndex);
    const std::vector<MenuLine> menu = MenuFromSettingsButton(form->Handle());
    ASSERT_EQ(menu.size(), 11u);
    EXPECT_EQ(menu[2].checked, c.game) << "게임 최적화 실행";
    EXPECT_EQ(menu[3].checked, c.web) << "인터넷 최적화 실행";
    form.reset();
    TSpeedUp::ReleaseInstance();
    driver::reg::DeleteValue(HKEY_LOCAL_MACHINE, msmq, L"TCPNoDelay");
    driver::reg::DeleteTree(HKEY_LOCAL_MACHINE, pageLoading);
  }
}

// Without administrator rights every machine-wide write is refused: a mode switched on shows the
// program's warning box with the no-rights text, and the window, the tray and the menu show no
// mode; nothing of either set is left in the registry.
TEST_F(MainWindowMenu, DeniedWritesBringTheWarningAndLeaveNoMode) {
  const std::wstring msmq = L"SOFTWARE\\Microsoft\\MSMQ";
  const std::wstring dnscache = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache";
  regtest::KeySnapshot keepMsmq{HKEY_LOCAL_MACHINE, msmq};
  regtest::KeySnapshot keepDnscache{HKEY_LOCAL_MACHINE, dnscache};
  HWND label = nullptr;
  for (HWND w : driver::TopLevelWindows(GetCurrentProcessId(), false)) {
    if (GetWindow(w, GW_OWNER) == form_->Handle() && !label) label = FindWindowExW(w, nullptr, L"TLabel", nullptr);
  }
  ASSERT_NE(label, nullptr);
  for (const bool game : {true, false}) {
    SCOPED_TRACE(game ? "game" : "internet");
    const auto before = std::make_pair(regtest::ReadTree(HKEY_LOCAL_MACHINE, msmq),
                                       regtest::ReadTree(HKEY_LOCAL_MACHINE, dnscache));
    regtest::DenyingRegistryApi user;
    std::optional<driver::MessageBoxInfo> box;
    {
      ScopedRegistryApi asUser(user);
      // The box holds this thread; another one reads and answers it.
      auto answer = std::async(std::launch::async, [&, thread = GetCurrentThreadId()] {
        box = driver::WaitForThreadMessageBox(thread, 10s);
        if (box) driver::AnswerMessageBox(box->window, IDOK);
      });
      game ? form_->actGamePingExecuteExecute() : form_->actWebPingExecuteExecute();
      answer.get();
    }
    ASSERT_TRUE(box.has_value()) << "no warning";
    EXPECT_EQ(box->caption, L"Warning");
    EXPECT_EQ(box->text, texts::kNoAdminRights);
    EXPECT_TRUE(box->hasIcon);
    EXPECT_GT(user.Denied(), 0u);
    EXPECT_EQ(std::make_pair(regtest::ReadTree(HKEY_LOCAL_MACHINE, msmq), regtest::ReadTree(HKEY_LOCAL_MACHINE, dnscache)),
              before);
    EXPECT_EQ(driver::TextOf(label), texts::kStatusNone);
    EXPECT_EQ(form_->TrayIndex(), 0);
    EXPECT_EQ(form_->GamePing(), TStateMode::smOFF);
    EXPECT_EQ(form_->WebPing(), TStateMode::smOFF);
    const std::vector<MenuLine> menu = MenuFromSettingsButton(form_->Handle());
    ASSERT_EQ(menu.size(), 11u);
    EXPECT_FALSE(menu[2].checked);
    EXPECT_FALSE(menu[3].checked);
  }
}

// An elevated program must hear the taskbar's restart from an Explorer with ordinary rights.
// Wine keeps no such filter, so what can be seen here is that the tray icon asked for it, with
// the per-window function that every system from Windows 7 on has.
TEST(TrayIconWindow, LetsTheTaskbarsRestartThroughTheMessageFilter) {
  std::vector<UniqueHIcon> images;
  images.push_back(CreateTrayIconFromPng(L"TRAY_NONE"));
  TTrayIcon icon(std::move(images));
  EXPECT_EQ(icon.TaskbarFilter(), TMessageFilterChange::Window);
}

TEST(TrayPictures, AreSixteenPixelIconsWithAOneBitMask) {
  for (const wchar_t* name : {L"TRAY_NONE", L"TRAY_GAME", L"TRAY_WEB"}) {
    SCOPED_TRACE(testing::Message() << "picture " << static_cast<const void*>(name));
    const UniqueHIcon icon = CreateTrayIconFromPng(name);
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    const UniqueHBitmap mask(info.hbmMask), colour(info.hbmColor);
    BITMAP bm{};
    GetObjectW(mask.get(), sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 16);
    EXPECT_EQ(bm.bmHeight, 16);
    EXPECT_EQ(bm.bmBitsPixel, 1);
  }
  EXPECT_THROW(CreateTrayIconFromPng(L"FORM_SKIN"), Exception);
}
