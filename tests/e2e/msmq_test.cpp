// First run, the removal switch and the MSMQ notice, with the fake ocsetup where the shell finds
// "ocsetup" and the Windows version the program sees set in the prefix.

#include "driver.h"
#include "maker_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace driver;

namespace {

const std::wstring kProductKey = L"SOFTWARE\\LAGVANE";
const std::wstring kMsmqParameters = L"SOFTWARE\\Microsoft\\MSMQ\\Parameters";
const std::wstring kAppDefaults = L"Software\\Wine\\AppDefaults\\LAGVANE.exe";
const std::string kInstallLine = "MSMQ-Container;MSMQ-Server\n";
const std::string kRemovalLine = "MSMQ-Container;MSMQ-Server /uninstall /quiet /norestart\n";
const std::wstring kInterfaces = L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
const std::wstring kPresetInterface = kInterfaces + L"\\{E2E00000-0000-0000-0000-0000000000C1}";
const std::wstring kDnscache = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
const wchar_t* const kDnsNames[] = {L"CachehHashTableBucketSize", L"CachehHashTableSize", L"MaxCacheEntryTtlLimit",
                                    L"MaxSOACacheEntryTtlLimit"};

std::wstring SystemDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return path;
}

class MsmqTest : public e2e::WithMakerServer {
protected:
  void SetUp() override {
    WithMakerServer::SetUp();
    std::filesystem::copy_file(BinDir() + L"\\fakes\\ocsetup.exe", ocsetup_, std::filesystem::copy_options::overwrite_existing);
    log_ = std::filesystem::temp_directory_path() / L"lagvane-e2e-ocsetup.log";
    std::filesystem::remove(log_);
    SetEnvironmentVariableW(L"LAGVANE_OCSETUP_LOG", log_.c_str());
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kMsmqParameters);
    reg::DeleteValue(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization");
  }

  void TearDown() override {
    for (const wchar_t* name : {L"LAGVANE_OCSETUP_LOG", L"LAGVANE_OCSETUP_DELAY_MS", L"LAGVANE_OCSETUP_EXIT",
                                L"LAGVANE_CONNECT_LOG"})
      SetEnvironmentVariableW(name, nullptr);
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kPresetInterface);
    for (const wchar_t* name : kDnsNames) reg::DeleteValue(HKEY_LOCAL_MACHINE, kDnscache, name);
    reg::DeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kMsmqParameters);
    reg::DeleteTree(HKEY_CURRENT_USER, kProductKey);
    std::filesystem::remove(log_);
    WithMakerServer::TearDown();
  }

  // The Windows version LAGVANE.exe is told it runs on ("win7", "winxp", ...).
  static void RunAs(const std::wstring& version) { reg::WriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", version); }

  static void MarkFirstRun() { reg::WriteString(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization", L""); }

  std::string OcsetupLog() const {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static void CloseNormally(AppProcess& app) {
    const HWND window = app.MainWindow();
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0));
  }

  // Values set by the user by hand, which only the program's own close may remove.
  static void PresetTweaks() {
    reg::WriteDword(HKEY_LOCAL_MACHINE, kMsmqParameters, L"TCPNoDelay", 1);
    reg::WriteDword(HKEY_LOCAL_MACHINE, kPresetInterface, L"TcpAckFrequency", 1);
    DWORD data = 1;
    for (const wchar_t* name : kDnsNames) reg::WriteDword(HKEY_LOCAL_MACHINE, kDnscache, name, data++);
  }
  static void ExpectPresetTweaksKept() {
    EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kMsmqParameters, L"TCPNoDelay"), std::optional<DWORD>(1));
    EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kPresetInterface, L"TcpAckFrequency"), std::optional<DWORD>(1));
    DWORD data = 1;
    for (const wchar_t* name : kDnsNames) {
      EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kDnscache, name), std::optional<DWORD>(data++)) << name;
    }
  }

  std::wstring ocsetup_ = SystemDirectory() + L"\\ocsetup.exe";
  std::filesystem::path log_;
};

TEST_F(MsmqTest, FirstRunOnWindows7InstallsMsmqBehindTheNoticeThenOpensTheWindow) {
  RunAs(L"win7");
  MarkFirstRun();
  SetEnvironmentVariableW(L"LAGVANE_OCSETUP_DELAY_MS", L"3000");
  AppProcess app = AppProcess::Start();

  // While ocsetup runs, the notice shows its install picture, centred, and no main window yet.
  const HWND notice = app.WaitForWindow(L"TfrmMessageDialogMSMQ", 20s);
  ASSERT_NE(notice, nullptr) << "the notice never showed";
  EXPECT_EQ(TextOf(notice), L"라그베인 최적화실행중");
  const RECT bounds = WindowRectOf(notice);
  EXPECT_EQ(bounds.right - bounds.left, 321);
  EXPECT_EQ(bounds.bottom - bounds.top, 34);
  EXPECT_NE(GetWindowLongPtrW(notice, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_NE(GetWindowLongPtrW(notice, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  EXPECT_EQ(GetWindow(notice, GW_OWNER) != nullptr, true);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR(bounds.left, work.left + (work.right - work.left - 321) / 2, 1);
  EXPECT_NEAR(bounds.top, work.top + (work.bottom - work.top - 34) / 2, 1);
  // Its picture is on the screen: the bar's middle is opaque grey, unlike the desktop around it.
  Sleep(300);
  const Screenshot shot = Screenshot::Capture();
  shot.Save(BinDir() + L"\\msmq-notice.bmp");
  const COLORREF middle = shot.Pixel((bounds.left + bounds.right) / 2, bounds.top + 3);
  const COLORREF outside = shot.Pixel(bounds.left - 5, bounds.top - 5);
  EXPECT_NE(middle, outside) << "the notice's picture is not on the screen";

  const HWND window = app.MainWindow(30s);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(notice)) << "the notice stayed after ocsetup ended";
  EXPECT_EQ(OcsetupLog(), kInstallLine);
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
  CloseNormally(app);
}

TEST_F(MsmqTest, FirstRunOnWindowsXpInstallsNothingButStillClearsTheMarker) {
  RunAs(L"winxp");
  MarkFirstRun();
  AppProcess app = AppProcess::Start();
  ASSERT_NE(app.MainWindow(), nullptr);
  EXPECT_EQ(OcsetupLog(), "");
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
  CloseNormally(app);
}

TEST_F(MsmqTest, TheRemovalSwitchInLowerCaseRemovesMsmqAndEndsWithoutAWindow) {
  RunAs(L"win7");
  MarkFirstRun();
  reg::WriteDword(HKEY_LOCAL_MACHINE, kMsmqParameters, L"Workgroup", 1);
  SetEnvironmentVariableW(L"LAGVANE_OCSETUP_DELAY_MS", L"1500");
  AppProcess app = AppProcess::Start(L"--uninstall");
  bool showedMain = false;
  std::optional<SIZE> noticeSize;
  WaitUntil([&] {
    for (HWND w : TopLevelWindows(app.Id())) {
      if (ClassNameOf(w) == L"TfrmMain") showedMain = true;
      if (ClassNameOf(w) == L"TfrmMessageDialogMSMQ") {
        const RECT r = WindowRectOf(w);
        noticeSize = SIZE{r.right - r.left, r.bottom - r.top};
      }
    }
    return !app.Running();
  }, 30s, 20ms);
  ASSERT_TRUE(noticeSize.has_value()) << "the removal notice never showed";
  EXPECT_EQ(noticeSize->cx, 321);
  EXPECT_EQ(noticeSize->cy, 33) << "the removal picture is one row shorter";
  EXPECT_EQ(app.WaitForExit(0s), std::optional<DWORD>(0));
  EXPECT_FALSE(showedMain);
  EXPECT_EQ(OcsetupLog(), kRemovalLine);
  EXPECT_TRUE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization")) << "the marker is left alone";
}

TEST_F(MsmqTest, TheRemovalSwitchWithoutMsmqInstalledEndsAtOnce) {
  RunAs(L"win7");
  AppProcess app = AppProcess::Start(L"--UNINSTALL");
  EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_EQ(OcsetupLog(), "");
}

TEST_F(MsmqTest, TheSwitchWithASecondArgumentIsAnOrdinaryStart) {
  RunAs(L"win7");
  reg::WriteDword(HKEY_LOCAL_MACHINE, kMsmqParameters, L"Workgroup", 1);
  AppProcess app = AppProcess::Start(L"--UNINSTALL now");
  ASSERT_NE(app.MainWindow(), nullptr);
  EXPECT_EQ(OcsetupLog(), "");
  CloseNormally(app);
}

TEST_F(MsmqTest, AnOcsetupThatCannotStartIsReportedAndTheNoticeStays) {
  RunAs(L"win7");
  MarkFirstRun();
  std::filesystem::remove(ocsetup_);
  AppProcess app = AppProcess::Start();

  // Every box is answered (the shell may show one of its own first); the last is the program's.
  std::optional<MessageBoxInfo> last;
  HWND window = nullptr;
  WaitUntil([&] {
    if (auto box = FindMessageBox(app.Id())) {
      last = box;
      AnswerMessageBox(box->window, IDOK);
      WaitUntil([&] { return !IsWindow(box->window); }, 5s);
    }
    for (HWND w : TopLevelWindows(app.Id()))
      if (ClassNameOf(w) == L"TfrmMain") window = w;
    return window != nullptr;
  }, 30s);
  ASSERT_TRUE(last.has_value()) << "no message about the failed start";
  EXPECT_EQ(last->text, L"File not found");
  EXPECT_EQ(last->caption, L"");
  ASSERT_NE(window, nullptr);
  const HWND notice = app.WaitForWindow(L"TfrmMessageDialogMSMQ", 5s);
  EXPECT_NE(notice, nullptr) << "the notice stays when ocsetup never ran";
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
  CloseNormally(app);
}

// An error inside creation: shown, then the end, with the first run over and every value the
// user had set by hand still there (the state was never read, so nothing is the program's).
TEST_F(MsmqTest, AWorkgroupStoredAsTextIsShownDuringCreationAndTheProgramEndsTouchingNothing) {
  RunAs(L"win7");
  MarkFirstRun();
  PresetTweaks();
  reg::WriteString(HKEY_LOCAL_MACHINE, kMsmqParameters, L"Workgroup", L"1");
  AppProcess app = AppProcess::Start();
  const auto box = WaitForMessageBox(app.Id(), 20s);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"Invalid data type for 'Workgroup'");
  EXPECT_EQ(box->caption, L"");
  EXPECT_TRUE(box->hasIcon);
  AnswerMessageBox(box->window, IDOK);
  EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_EQ(OcsetupLog(), "");
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization")) << "the next start is a first run again";
  ExpectPresetTweaksKept();
  EXPECT_TRUE(WaitUntil([] { return TrayIconWindows().empty(); }, 5s));
}

TEST_F(MsmqTest, TheRemovalSwitchLeavesEveryValueTheUserSetByHand) {
  RunAs(L"win7");
  PresetTweaks();
  reg::WriteDword(HKEY_LOCAL_MACHINE, kMsmqParameters, L"Workgroup", 1);
  AppProcess app = AppProcess::Start(L"--UNINSTALL");
  EXPECT_EQ(app.WaitForExit(30s), std::optional<DWORD>(0));
  EXPECT_EQ(OcsetupLog(), kRemovalLine);
  ExpectPresetTweaksKept();
  EXPECT_TRUE(WaitUntil([] { return TrayIconWindows().empty(); }, 5s));
}

// While the first run's MSMQ setup runs, the tray icon and its menu are live on a window that is
// still being built: its game item does nothing, a double click shows nothing, and its quit item
// ends the program once the window is finished, with nothing written.
TEST_F(MsmqTest, TheMenuDuringASlowFirstRunChangesNothingAndItsQuitEndsTheProgramAfterwards) {
  RunAs(L"win7");
  MarkFirstRun();
  SetEnvironmentVariableW(L"LAGVANE_OCSETUP_DELAY_MS", L"8000");
  const std::wstring connectLog = BinDir() + L"\\recording\\connect.log";
  DeleteFileW(connectLog.c_str());
  SetEnvironmentVariableW(L"LAGVANE_CONNECT_LOG", connectLog.c_str());
  AppProcess app = AppProcess::Start(L"", L"recording\\LAGVANE.exe");
  ASSERT_NE(app.WaitForWindow(L"TfrmMessageDialogMSMQ", 20s), nullptr) << "the notice never showed";
  ASSERT_TRUE(WaitUntil([] { return !TrayIconWindows().empty(); }, 10s)) << "no tray icon";
  const RECT icon = WindowRectOf(TrayIconWindows().front());
  const POINT centre{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
  const auto chooseFromTray = [&](int steps) {
    RightClickAt(centre);
    ASSERT_NE(WaitForMenu(app, 10s), nullptr) << "the tray's menu did not open";
    ChooseMenuItem(steps);
    ASSERT_TRUE(WaitUntil([&] { return app.WaitForWindow(L"#32768", 0ms) == nullptr; }, 5s));
  };

  ASSERT_NO_FATAL_FAILURE(chooseFromTray(2));  // 게임 최적화 실행
  DoubleClickAt(centre);
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(app.WaitForWindow(L"TfrmMain", 0ms), nullptr) << "the half-built window was shown";
  ASSERT_NO_FATAL_FAILURE(chooseFromTray(8));  // 라그베인 종료
  EXPECT_TRUE(app.Running()) << "the quit did not wait for the setup";

  bool shownMain = false;
  WaitUntil([&] {
    shownMain = shownMain || app.WaitForWindow(L"TfrmMain", 0ms) != nullptr;
    return !app.Running();
  }, 40s);
  EXPECT_EQ(app.WaitForExit(0s), std::optional<DWORD>(0));
  EXPECT_FALSE(shownMain);
  EXPECT_EQ(OcsetupLog(), kInstallLine);
  EXPECT_FALSE(reg::ValueExists(HKEY_LOCAL_MACHINE, kMsmqParameters, L"TCPNoDelay"));
  EXPECT_EQ(GetFileAttributesW(connectLog.c_str()), INVALID_FILE_ATTRIBUTES) << "the network was reset";
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
  EXPECT_TRUE(WaitUntil([] { return TrayIconWindows().empty(); }, 5s));
}

}  // namespace

// Log-off while the first run's setup runs: nothing has been written yet, so the session may end
// at once, and the program ends once its window is finished, without a crash and without a tweak.
TEST_F(MsmqTest, ASessionEndDuringTheFirstRunIsAllowedAtOnceAndTheProgramEndsAfterCreation) {
  RunAs(L"win7");
  MarkFirstRun();
  SetEnvironmentVariableW(L"LAGVANE_OCSETUP_DELAY_MS", L"4000");
  AppProcess app = AppProcess::Start();
  ASSERT_NE(app.WaitForWindow(L"TfrmMessageDialogMSMQ", 20s), nullptr) << "the notice never showed";
  HWND main = nullptr;
  for (HWND w : TopLevelWindows(app.Id(), false)) {
    if (ClassNameOf(w) == L"TfrmMain") main = w;
  }
  ASSERT_NE(main, nullptr);
  DWORD_PTR allowed = 0;
  ASSERT_TRUE(SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &allowed));
  EXPECT_EQ(allowed, static_cast<DWORD_PTR>(TRUE));
  SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, nullptr);
  EXPECT_TRUE(app.Running()) << "the end did not wait for the setup";
  EXPECT_EQ(app.WaitForExit(30s), std::optional<DWORD>(0));
  EXPECT_EQ(OcsetupLog(), kInstallLine);
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
  EXPECT_FALSE(reg::ValueExists(HKEY_LOCAL_MACHINE, kMsmqParameters, L"TCPNoDelay"));
}
