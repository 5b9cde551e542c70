// The two modes on the real program, with the recording NetworkControl.dll beside its copy of
// LAGVANE.exe: clicks on the buttons, the registry they change, the calls the worker makes, the
// bar and the status label.

#include "common/texts.h"
#include "driver.h"
#include "maker_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

using namespace driver;

namespace {

const std::wstring kMsmq = L"SOFTWARE\\Microsoft\\MSMQ\\Parameters";
const std::wstring kInterfaces = L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
const std::wstring kDnscache = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
const std::wstring kPageLoading = L"SOFTWARE\\Microsoft\\PCHealth\\Clients\\Dialog Comments";
const wchar_t* const kInterfaceNames[] = {L"{E2E00000-0000-0000-0000-00000000000A}",
                                          L"{E2E00000-0000-0000-0000-00000000000B}"};
const std::pair<const wchar_t*, DWORD> kWebValues[] = {{L"CachehHashTableBucketSize", 1},
                                                       {L"CachehHashTableSize", 384},
                                                       {L"MaxCacheEntryTtlLimit", 64000},
                                                       {L"MaxSOACacheEntryTtlLimit", 301}};
// The tray pictures' colours: no mode, game, internet.
constexpr COLORREF kTrayNone = RGB(125, 125, 125);
constexpr COLORREF kTrayGame = RGB(232, 0, 221);
constexpr COLORREF kTrayWeb = RGB(0, 8, 232);
// The program's copy that sits beside the recording library.
const wchar_t kProgram[] = L"recording\\LAGVANE.exe";

struct Call {
  std::string what;
  int argument = 0;
  DWORD thread = 0;
};

std::vector<std::wstring> InterfaceKeys() {
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInterfaces.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  RegCloseKey(key);
  return names;
}

class Modes : public e2e::WithMakerServer {
protected:
  void SetUp() override {
    WithMakerServer::SetUp();
    log_ = BinDir() + L"\\recording\\connect.log";
    DeleteFileW(log_.c_str());
    SetEnvironmentVariableW(L"LAGVANE_CONNECT_LOG", log_.c_str());
    SetEnvironmentVariableW(L"LAGVANE_CONNECT_DELAY_MS", nullptr);
    reg::DeleteValue(HKEY_LOCAL_MACHINE, kMsmq, L"TCPNoDelay");
    for (const std::wstring& name : InterfaceKeys()) {
      reg::DeleteValue(HKEY_LOCAL_MACHINE, kInterfaces + L"\\" + name, L"TcpAckFrequency");
    }
    for (const wchar_t* name : kInterfaceNames) reg::WriteString(HKEY_LOCAL_MACHINE, kInterfaces + L"\\" + name, L"E2E", L"");
    for (const auto& [name, value] : kWebValues) reg::DeleteValue(HKEY_LOCAL_MACHINE, kDnscache, name);
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kPageLoading);
  }
  void TearDown() override {
    if (app_ && window_ && app_->Running()) {
      if (HasFailure()) Screenshot::Capture().Save(BinDir() + L"\\modes_failure.bmp");
      PostMessageW(window_, WM_CLOSE, 0, 0);
      app_->WaitForExit(30s);
    }
    SetEnvironmentVariableW(L"LAGVANE_CONNECT_DELAY_MS", nullptr);
    reg::DeleteValue(HKEY_LOCAL_MACHINE, kMsmq, L"TCPNoDelay");
    for (const wchar_t* name : kInterfaceNames) reg::DeleteTree(HKEY_LOCAL_MACHINE, kInterfaces + L"\\" + name);
    WithMakerServer::TearDown();
  }

  void Launch() {
    app_.emplace(AppProcess::Start(L"", kProgram));
    window_ = app_->MainWindow();
    ASSERT_NE(window_, nullptr);
    const std::optional<ModeControls> controls = WaitForModeControls(*app_);
    ASSERT_TRUE(controls.has_value());
    label_ = controls->label;
    game_ = controls->game;
    web_ = controls->web;
  }
  bool LabelBecomes(const std::wstring& text, Millis timeout) {
    return WaitUntil([&] { return TextOf(label_) == text; }, timeout);
  }
  std::vector<Call> Calls() const {
    std::vector<Call> calls;
    FILE* file = _wfopen(log_.c_str(), L"r");
    if (!file) return calls;
    char what[16];
    int argument = 0;
    unsigned long thread = 0, time = 0;
    while (std::fscanf(file, "%15s %d %lu %lu", what, &argument, &thread, &time) == 4) {
      calls.push_back({what, argument, static_cast<DWORD>(thread)});
    }
    std::fclose(file);
    return calls;
  }
  // The centre pixel of each of the 15 cells.
  std::vector<COLORREF> Cells() const {
    const Screenshot shot = Screenshot::Capture();
    const RECT w = WindowRectOf(window_);
    std::vector<COLORREF> cells;
    for (int k = 0; k < 15; ++k) cells.push_back(shot.Pixel(w.left + 40 + 8 * k + 3, w.top + 18 + 3));
    return cells;
  }
  bool GameSetWritten() const {
    if (reg::ReadDword(HKEY_LOCAL_MACHINE, kMsmq, L"TCPNoDelay") != std::optional<DWORD>(1)) return false;
    for (const std::wstring& name : InterfaceKeys()) {
      if (reg::ReadDword(HKEY_LOCAL_MACHINE, kInterfaces + L"\\" + name, L"TcpAckFrequency") != std::optional<DWORD>(1)) {
        return false;
      }
    }
    return true;
  }
  bool GameSetGone() const {
    if (reg::ValueExists(HKEY_LOCAL_MACHINE, kMsmq, L"TCPNoDelay")) return false;
    for (const std::wstring& name : InterfaceKeys()) {
      if (reg::ValueExists(HKEY_LOCAL_MACHINE, kInterfaces + L"\\" + name, L"TcpAckFrequency")) return false;
    }
    return true;
  }
  // Whether the program's tray icon shows the picture of this colour (and so of its mode).
  static bool TrayShows(COLORREF colour) {
    return WaitUntil(
        [&] {
          const std::vector<HWND> icons = TrayIconWindows();
          return icons.size() == 1 && Screenshot::Capture().AreaHas(WindowRectOf(icons.front()), colour);
        },
        5s);
  }
  // A point of the main window, in its own pixels.
  POINT At(int x, int y) const {
    const RECT r = WindowRectOf(window_);
    return {r.left + x, r.top + y};
  }
  DWORD UiThread() const { return GetWindowThreadProcessId(window_, nullptr); }

  std::wstring log_;
  std::optional<AppProcess> app_;
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND game_ = nullptr;
  HWND web_ = nullptr;
};

void ExpectResetOnWorker(const std::vector<Call>& calls, std::size_t from, DWORD uiThread) {
  ASSERT_GE(calls.size(), from + 4);
  const std::vector<std::pair<std::string, int>> expected = {{"begin", 0}, {"end", 0}, {"begin", -1}, {"end", -1}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(calls[from + i].what, expected[i].first);
    EXPECT_EQ(calls[from + i].argument, expected[i].second);
    EXPECT_NE(calls[from + i].thread, uiThread) << "Connect runs on the worker, never on the window's thread";
    EXPECT_EQ(calls[from + i].thread, calls[from].thread);
  }
}

}  // namespace

TEST_F(Modes, GameButtonSwitchesGameOnAndOffWithANetworkResetEachTime) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_EQ(TextOf(label_), texts::kStatusNone);
  const std::vector<COLORREF> empty = Cells();

  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 30s)) << "label: " << testing::PrintToString(TextOf(label_));
  EXPECT_TRUE(GameSetWritten());
  std::vector<Call> calls = Calls();
  EXPECT_EQ(calls.size(), 4u);
  ExpectResetOnWorker(calls, 0, UiThread());
  std::this_thread::sleep_for(300ms);
  const std::vector<COLORREF> full = Cells();
  for (int k = 0; k < 15; ++k) EXPECT_NE(full[k], empty[k]) << "cell " << k << " is lit";

  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusNone, 30s));
  EXPECT_TRUE(GameSetGone());
  calls = Calls();
  EXPECT_EQ(calls.size(), 8u);
  ExpectResetOnWorker(calls, 4, UiThread());
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Cells(), empty);
}

TEST_F(Modes, InternetButtonWritesAndRemovesTheFourCacheValuesWithoutANetworkReset) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(web_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusWeb, 10s));
  for (const auto& [name, value] : kWebValues) {
    EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kDnscache, name), std::optional<DWORD>(value)) << name;
  }
  EXPECT_TRUE(TrayShows(kTrayWeb));
  Click(web_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusNone, 10s));
  EXPECT_TRUE(TrayShows(kTrayNone));
  for (const auto& [name, value] : kWebValues) EXPECT_FALSE(reg::ValueExists(HKEY_LOCAL_MACHINE, kDnscache, name));
  EXPECT_TRUE(Calls().empty());
}

TEST_F(Modes, SlowWorkerBringsTheTimeOutBoxAndTheChangeThenCompletes) {
  SetEnvironmentVariableW(L"LAGVANE_CONNECT_DELAY_MS", L"10000");  // two calls: 20 s
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(game_);
  // 4.5 s of animation, then 14 s of waiting.
  const std::optional<MessageBoxInfo> box = WaitForMessageBox(app_->Id(), 40s);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, texts::kWaitTimeout);
  EXPECT_EQ(box->caption, L"");
  EXPECT_FALSE(box->hasIcon);
  EXPECT_EQ(TextOf(label_), texts::kGameStep14) << "the final status waits for the box";
  AnswerMessageBox(box->window);
  EXPECT_TRUE(LabelBecomes(texts::kStatusGame, 10s));
  EXPECT_TRUE(GameSetWritten());
}

TEST_F(Modes, QuittingRightAfterTheTimeOutEndsOnlyOnceTheLibraryHasBroughtTheNetworkBack) {
  // 16 s a call: the wait times out at about 18.5 s, during Connect(-1), which returns at 32 s.
  SetEnvironmentVariableW(L"LAGVANE_CONNECT_DELAY_MS", L"16000");
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(game_);
  const std::optional<MessageBoxInfo> box = WaitForMessageBox(app_->Id(), 40s);
  ASSERT_TRUE(box.has_value()) << "running: " << app_->Running() << ", status: " << testing::PrintToString(TextOf(label_))
                               << ", calls: " << Calls().size();
  ASSERT_EQ(box->text, texts::kWaitTimeout);
  AnswerMessageBox(box->window);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 10s));
  PostMessageW(window_, WM_CLOSE, 0, 0);

  // The window goes at once; the process stays until the library is done.
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window_); }, 5s));
  EXPECT_TRUE(GameSetGone());
  EXPECT_TRUE(app_->Running()) << "ended with the library still inside Connect(-1)";
  EXPECT_EQ(app_->WaitForExit(60s), std::optional<DWORD>(0));
  // The library writes its log from inside the program's process: what is there came before its end.
  const std::vector<Call> calls = Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls.back().what, "end");
  EXPECT_EQ(calls.back().argument, -1);
}

TEST_F(Modes, QuittingWithGameOnLeavesNoTweak) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 30s));
  ASSERT_TRUE(GameSetWritten());
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(app_->WaitForExit(30s), std::optional<DWORD>(0));
  EXPECT_TRUE(GameSetGone());
  EXPECT_EQ(Calls().size(), 4u) << "the close resets nothing";
}

TEST_F(Modes, StartWithTcpNoDelaySetShowsGameModeWithAFullBarAndCallsNothing) {
  reg::WriteDword(HKEY_LOCAL_MACHINE, kMsmq, L"TCPNoDelay", 1);
  ASSERT_NO_FATAL_FAILURE(Launch());
  EXPECT_EQ(TextOf(label_), texts::kStatusGame);
  const std::vector<COLORREF> full = Cells();
  // Game off empties the bar; the lit cells were there from the start.
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusNone, 30s));
  std::this_thread::sleep_for(300ms);
  const std::vector<COLORREF> empty = Cells();
  for (int k = 0; k < 15; ++k) EXPECT_NE(full[k], empty[k]) << "cell " << k << " was lit at start";
  const std::vector<Call> calls = Calls();
  ASSERT_EQ(calls.size(), 4u) << "only the switch-off reset, nothing at start";
  ExpectResetOnWorker(calls, 0, UiThread());
}

TEST_F(Modes, TheBubbleAsksBeforeGameGivesWayToInternetAboveOrBelowTheWindow) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 30s));
  const auto openBubble = [&] {
    Click(web_);
    const HWND bubble = app_->WaitForWindow(L"TfrmMessageDialog", 5s);
    std::this_thread::sleep_for(500ms);  // painted
    return bubble;
  };
  const auto bubbleGone = [&] { return WaitUntil([&] { return !app_->WaitForWindow(L"TfrmMessageDialog", 0ms); }, 5s); };
  const auto stillGame = [&] {
    EXPECT_EQ(TextOf(label_), texts::kStatusGame);
    EXPECT_TRUE(GameSetWritten());
    for (const auto& [name, value] : kWebValues) EXPECT_FALSE(reg::ValueExists(HKEY_LOCAL_MACHINE, kDnscache, name));
  };

  // Above the window, its tail over the internet button.
  RECT w = WindowRectOf(window_);
  ASSERT_GT(w.top, 89);
  HWND bubble = openBubble();
  ASSERT_NE(bubble, nullptr) << "no bubble";
  RECT b = WindowRectOf(bubble);
  EXPECT_EQ(b.left, w.left - 110);
  EXPECT_EQ(b.top, w.top - 89);
  EXPECT_EQ(b.right - b.left, 321);
  EXPECT_EQ(b.bottom - b.top, 89);
  EXPECT_EQ(GetWindow(bubble, GW_OWNER), window_);
  EXPECT_FALSE(IsWindowEnabled(window_)) << "the bubble is modal";
  {
    const Screenshot shot = Screenshot::Capture();
    shot.Save(BinDir() + L"\\bubble_above.bmp");
    // Pure red is keyed out everywhere, and the drawn buttons show through their hit areas.
    int red = 0;
    for (int y = b.top; y < b.bottom; ++y) {
      for (int x = std::max<LONG>(b.left, 0); x < b.right; ++x) red += shot.Pixel(x, y) == RGB(255, 0, 0);
    }
    EXPECT_EQ(red, 0);
    EXPECT_NE(shot.Pixel(b.left + 98 + 27, b.top + 48 + 9), shot.Pixel(b.left + 5, b.top + 5));
  }
  // Escape answers No, and so does No itself; nothing changes.
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(bubbleGone());
  stillGame();
  EXPECT_TRUE(IsWindowEnabled(window_));
  bubble = openBubble();
  ASSERT_NE(bubble, nullptr);
  b = WindowRectOf(bubble);
  ClickAt({b.left + 164 + 27, b.top + 48 + 9});
  ASSERT_TRUE(bubbleGone());
  stillGame();

  // With the window's top at 89 the bubble stands below it; Yes switches game off, then internet on.
  SetWindowPos(window_, nullptr, 300, 89, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  std::this_thread::sleep_for(500ms);
  w = WindowRectOf(window_);
  ASSERT_EQ(w.top, 89);
  bubble = openBubble();
  ASSERT_NE(bubble, nullptr);
  b = WindowRectOf(bubble);
  EXPECT_EQ(b.left, w.left - 110);
  EXPECT_EQ(b.top, w.top + 44);
  Screenshot::Capture().Save(BinDir() + L"\\bubble_below.bmp");
  ClickAt({b.left + 98 + 27, b.top + 58 + 9});
  ASSERT_TRUE(bubbleGone());
  ASSERT_TRUE(LabelBecomes(texts::kStatusWeb, 40s));
  EXPECT_TRUE(GameSetGone());
  for (const auto& [name, value] : kWebValues) {
    EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kDnscache, name), std::optional<DWORD>(value)) << name;
  }
  EXPECT_EQ(Calls().size(), 8u) << "game off reset the network once more";
}

TEST_F(Modes, TheCloseButtonHidesTheWindowWhileGameStaysOnAndTheQuitItemUndoesIt) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(TrayShows(kTrayNone));
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 30s));
  EXPECT_TRUE(TrayShows(kTrayGame));

  ClickAt(At(233, 9));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(window_); }, 5s)) << "the close button did not hide it";
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(app_->Running());
  EXPECT_TRUE(GameSetWritten()) << "hiding the window undid the tweaks";
  EXPECT_TRUE(TrayShows(kTrayGame));

  const RECT icon = WindowRectOf(TrayIconWindows().front());
  DoubleClickAt({(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2});
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window_) != FALSE; }, 5s));
  EXPECT_EQ(TextOf(label_), texts::kStatusGame);

  // "라그베인 종료" from the menu: the close query removes the tweaks.
  ClickAt(At(218, 9));
  ASSERT_NE(WaitForMenu(*app_), nullptr);
  ChooseMenuItem(8);
  EXPECT_EQ(app_->WaitForExit(30s), std::optional<DWORD>(0));
  EXPECT_TRUE(GameSetGone());
  EXPECT_EQ(Calls().size(), 4u) << "quitting resets nothing";
  EXPECT_TRUE(WaitUntil([] { return TrayIconWindows().empty(); }, 5s));
}

// A close request during a change waits for the change, then the close query removes its tweaks.
TEST_F(Modes, ACloseRequestDuringAChangeEndsTheProgramOnceTheChangeHasFinished) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kGameStep6, 10s));
  PostMessageW(window_, WM_CLOSE, 0, 0);
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(app_->Running()) << "the close did not wait for the change";
  EXPECT_EQ(app_->WaitForExit(40s), std::optional<DWORD>(0));
  EXPECT_TRUE(GameSetGone());
  EXPECT_EQ(Calls().size(), 4u) << "the change's reset ran to its end, and the close reset nothing";
}

// Log-off in the middle of a confirmed game -> internet switch: the session's query removes the
// tweaks at once, and the rest of the change writes nothing and shows no box.
TEST_F(Modes, ASessionEndDuringAChangeRemovesTheTweaksAndTheChangeStopsSilently) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 30s));
  Click(web_);
  const HWND bubble = app_->WaitForWindow(L"TfrmMessageDialog", 5s);
  ASSERT_NE(bubble, nullptr);
  std::this_thread::sleep_for(500ms);
  const RECT b = WindowRectOf(bubble);
  ClickAt({b.left + 98 + 27, b.top + 48 + 9});
  // Game off is under way.
  ASSERT_TRUE(LabelBecomes(texts::kGameStep11, 10s));
  DWORD_PTR allowed = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &allowed));
  EXPECT_EQ(allowed, static_cast<DWORD_PTR>(TRUE));
  EXPECT_TRUE(GameSetGone()) << "the query removed nothing";
  // Other programs are asked too before the end comes; meanwhile the change would have run to
  // its end (game off, its reset, internet on).
  std::optional<MessageBoxInfo> box;
  WaitUntil([&] { return (box = FindMessageBox(app_->Id())).has_value(); }, 10s);
  EXPECT_FALSE(box.has_value()) << "a box during the session's end: " << testing::PrintToString(box ? box->text : L"");
  if (box) AnswerMessageBox(box->window);
  for (const auto& [name, value] : kWebValues) EXPECT_FALSE(reg::ValueExists(HKEY_LOCAL_MACHINE, kDnscache, name)) << name;
  SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, nullptr);
  EXPECT_EQ(app_->WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_TRUE(GameSetGone());
  for (const auto& [name, value] : kWebValues) EXPECT_FALSE(reg::ValueExists(HKEY_LOCAL_MACHINE, kDnscache, name)) << name;
}

// The bubble asked for from the tray while the window is minimised stands where it would for the
// window's normal place, on the screen, not at the minimised window's parking place.
TEST_F(Modes, TheBubbleFromAMinimisedWindowStandsOnTheScreen) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 30s));
  const RECT normal = WindowRectOf(window_);
  ClickAt(At(201, 9));
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(window_) != FALSE; }, 5s)) << "the minimise button did nothing";
  const RECT icon = WindowRectOf(TrayIconWindows().front());
  RightClickAt({(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2});
  const HWND menu = app_->WaitForWindow(L"#32768", 5s);
  ASSERT_NE(menu, nullptr);
  // A minimised window cannot take the foreground, so the keyboard never reaches the menu: its
  // third line, 인터넷 최적화 실행, is clicked. Eight items and three half-height separators
  // fill the menu inside a 3-pixel frame; the line's middle is three items down.
  std::this_thread::sleep_for(500ms);
  const RECT m = WindowRectOf(menu);
  const double item = (m.bottom - m.top - 6) / 9.5;
  ClickAt({(m.left + m.right) / 2, m.top + 3 + static_cast<int>(3 * item)});
  const HWND bubble = app_->WaitForWindow(L"TfrmMessageDialog", 5s);
  ASSERT_NE(bubble, nullptr) << "no bubble";
  const RECT b = WindowRectOf(bubble);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(b.left, normal.left - 110);
  EXPECT_EQ(b.top, normal.top - 89);
  EXPECT_GE(b.top, work.top);
  EXPECT_LE(b.bottom, work.bottom);
  EXPECT_GE(b.right, work.left);
  EXPECT_LE(b.left, work.right);
  // No: game stays on.
  std::this_thread::sleep_for(500ms);
  ClickAt({b.left + 164 + 27, b.top + 48 + 9});
  EXPECT_TRUE(WaitUntil([&] { return !app_->WaitForWindow(L"TfrmMessageDialog", 0ms); }, 5s));
  EXPECT_TRUE(GameSetWritten());
}
