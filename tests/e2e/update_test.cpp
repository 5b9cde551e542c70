// The self-update at start-up and the start report, with the real program against the maker's
// server played on loopback.

#include "common/texts.h"
#include "driver.h"
#include "maker_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

using namespace driver;
using e2e::RequestFor;

namespace {

const std::string kManifestRequest = RequestFor("/version.dat");
const std::string kReportRequest = RequestFor(e2e::kStartReportPath);
const std::string kInstallerRequest = RequestFor("/lagvanesetup.exe");

std::wstring TempFolder() {
  wchar_t path[MAX_PATH + 1];
  return std::wstring(path, GetTempPathW(MAX_PATH + 1, path));
}

std::string FileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool MutexExists() {
  const UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, texts::kMutexName));
  return static_cast<bool>(mutex);
}

// Sets an environment variable of the test process for a scope, and puts the old value back.
class ScopedEnvironmentVariable {
public:
  ScopedEnvironmentVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    std::wstring saved(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, saved.data(), static_cast<DWORD>(saved.size()));
    if (length > 0 && length < saved.size()) saved_ = saved.substr(0, length);
    SetEnvironmentVariableW(name, value.c_str());
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
  ~ScopedEnvironmentVariable() { SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }

private:
  const wchar_t* name_;
  std::optional<std::wstring> saved_;
};

// What a run showed while it ran: a main window, the single-instance mutex.
struct Watch {
  bool sawMainWindow = false;
  bool sawMutex = false;
};

// Waits for the end of a run that must not open its window, noting what appeared meanwhile.
std::optional<DWORD> WaitForExitWatching(AppProcess& app, Watch& watch) {
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(app.Id())) {
          if (ClassNameOf(window) == L"TfrmMain") watch.sawMainWindow = true;
        }
        watch.sawMutex = watch.sawMutex || MutexExists();
        return !app.Running();
      },
      30s, 10ms);
  return app.WaitForExit(0s);
}

class SelfUpdate : public e2e::WithMakerServer {
protected:
  void SetUp() override {
    WithMakerServer::SetUp();
    DeleteFileW(installer_.c_str());
    reg::DeleteTree(HKEY_CURRENT_USER, L"Software\\LAGVANE-tests");
  }
  void TearDown() override {
    // The started installer may still hold its file for a moment.
    WaitUntil([&] { return DeleteFileW(installer_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; }, 10s);
    reg::DeleteTree(HKEY_CURRENT_USER, L"Software\\LAGVANE-tests");
    WithMakerServer::TearDown();
  }

  // The server announces a newer version than the one installed.
  void OfferAnUpdate() {
    SetInstalledVersion(L"1.0.0.1");
    Server().AnswerAlways("/version.dat", fakes::Ok("Other.exe=7.0\r\nLAGVANE.exe=1.0.0.2\r\n"));
  }

  // Answers a box and waits until it has gone, so that the next box found is a new one.
  void Answer(const MessageBoxInfo& box, int buttonId) {
    AnswerMessageBox(box.window, buttonId);
    WaitUntil([&] { return !IsWindow(box.window); }, 10s);
  }

  MessageBoxInfo WaitForBox(AppProcess& app) {
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app.Id(), 30s);
    if (!box) throw std::runtime_error("no message box appeared");
    return *box;
  }

  const std::wstring installer_ = TempFolder() + L"lagvanesetup.exe";
};

}  // namespace

TEST_F(SelfUpdate, EveryStartAsksForTheManifestTwiceAndReportsTheStartOnce) {
  AppProcess app = AppProcess::Start();
  const HWND window = app.MainWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(Server().WaitForRequests(3, 20s));
  // Later showings of the window report nothing more.
  ShowWindow(window, SW_HIDE);
  ShowWindow(window, SW_SHOW);
  EXPECT_FALSE(Server().WaitForRequests(4, 1s));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_EQ(Server().Requests(), (std::vector<std::string>{kManifestRequest, kManifestRequest, kReportRequest}));
}

TEST_F(SelfUpdate, AServerThatIsDownGivesANormalStartWhoseReportFailsInTheStopBox) {
  StopServer();
  AppProcess app = AppProcess::Start();
  const HWND window = app.MainWindow();
  ASSERT_NE(window, nullptr) << "no update check holds the start";
  const MessageBoxInfo box = WaitForBox(app);
  EXPECT_EQ(box.caption, L"");
  EXPECT_EQ(box.text, L"Socket Error # 10061\r\nConnection refused.");
  EXPECT_TRUE(box.hasIcon);
  EXPECT_TRUE(IsWindowVisible(window)) << "the window stays shown";
  AnswerMessageBox(box.window);

  // The program goes on: no second box, and it ends normally on a close.
  WaitUntil([&] { return !FindMessageBox(app.Id()); }, 5s);
  EXPECT_TRUE(app.Running());
  EXPECT_TRUE(IsWindowVisible(window));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0));
}

TEST_F(SelfUpdate, AnUpdateIsOfferedBeforeTheSingleInstanceCheckAndADeclineStartsNormally) {
  OfferAnUpdate();
  AppProcess app = AppProcess::Start();
  const MessageBoxInfo box = WaitForBox(app);
  EXPECT_EQ(box.caption, texts::kUpdateCaption);
  EXPECT_EQ(box.text, texts::kUpdateQuestion);
  EXPECT_TRUE(box.hasIcon);
  EXPECT_NE(GetDlgItem(box.window, IDYES), nullptr);
  EXPECT_NE(GetDlgItem(box.window, IDNO), nullptr);
  EXPECT_FALSE(MutexExists()) << "the question comes before the mutex";
  EXPECT_EQ(app.MainWindow(0s), nullptr);

  AnswerMessageBox(box.window, IDNO);
  const HWND window = app.MainWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(Server().WaitForRequests(3, 20s));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0));
  EXPECT_EQ(Server().Requests(), (std::vector<std::string>{kManifestRequest, kManifestRequest, kReportRequest}));
}

TEST_F(SelfUpdate, ASecondStartStillOffersTheUpdateBeforeItEndsSilently) {
  OfferAnUpdate();
  // Another instance holds the name.
  const UniqueHandle other(CreateMutexW(nullptr, TRUE, texts::kMutexName));
  AppProcess app = AppProcess::Start();
  const MessageBoxInfo box = WaitForBox(app);
  EXPECT_EQ(box.text, texts::kUpdateQuestion);
  AnswerMessageBox(box.window, IDNO);
  Watch watch;
  EXPECT_EQ(WaitForExitWatching(app, watch), std::optional<DWORD>(0));
  EXPECT_FALSE(watch.sawMainWindow);
}

TEST_F(SelfUpdate, AnAcceptedUpdateDownloadsTheInstallerStartsItAndEnds) {
  OfferAnUpdate();
  const std::string installerBytes = FileBytes(BinDir() + L"\\fake_installer.exe");
  ASSERT_GT(installerBytes.size(), 1000u);
  Server().AnswerAlways("/lagvanesetup.exe", fakes::Ok(installerBytes, "application/octet-stream"));

  AppProcess app = AppProcess::Start();
  Answer(WaitForBox(app), IDYES);
  Watch watch;
  EXPECT_EQ(WaitForExitWatching(app, watch), std::optional<DWORD>(0));
  EXPECT_FALSE(watch.sawMainWindow);
  EXPECT_FALSE(watch.sawMutex) << "the program ends before the single-instance check";

  EXPECT_EQ(FileBytes(installer_), installerBytes);
  std::wstring started;
  WaitUntil(
      [&] {
        UniqueHKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\LAGVANE-tests", 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
          return false;
        }
        wchar_t value[MAX_PATH] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        if (RegQueryValueExW(key.get(), L"InstallerStarted", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size)) {
          return false;
        }
        started = value;
        return true;
      },
      20s);
  EXPECT_EQ(_wcsicmp(started.c_str(), installer_.c_str()), 0) << "the downloaded installer ran: " << started.size();
  EXPECT_EQ(Server().Requests(), (std::vector<std::string>{kManifestRequest, kManifestRequest, kInstallerRequest}));
}

TEST_F(SelfUpdate, AManifestReadThatFailsAfterTheProbeEndsInTheApplicationErrorBox) {
  SetInstalledVersion(L"1.0.0.1");
  Server().Script("/version.dat", {fakes::Ok("LAGVANE.exe=1.0.0.2\r\n"), fakes::Status("HTTP/1.1 500 Internal Server Error")});
  AppProcess app = AppProcess::Start();
  const MessageBoxInfo box = WaitForBox(app);
  EXPECT_EQ(box.caption, L"Application Error");
  EXPECT_TRUE(std::regex_match(box.text, std::wregex(L"Exception Exception in module LAGVANE\\.exe at [0-9A-F]{8}\\.\r\n"
                                                     L"버전 정보를 받을 수가 없습니다\\.\r\n")))
      << "text: " << testing::PrintToString(box.text);
  EXPECT_TRUE(box.hasIcon);
  AnswerMessageBox(box.window);
  Watch watch;
  EXPECT_EQ(WaitForExitWatching(app, watch), std::optional<DWORD>(1));
  EXPECT_FALSE(watch.sawMainWindow);
  EXPECT_EQ(Server().Requests().size(), 2u) << "no start report";
}

TEST_F(SelfUpdate, ADownloadAnswered404EndsInTheApplicationErrorBoxAndLeavesAnEmptyFile) {
  OfferAnUpdate();
  Server().AnswerAlways("/lagvanesetup.exe", {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!"});
  AppProcess app = AppProcess::Start();
  Answer(WaitForBox(app), IDYES);
  const MessageBoxInfo box = WaitForBox(app);
  EXPECT_EQ(box.caption, L"Application Error");
  EXPECT_TRUE(std::regex_match(box.text, std::wregex(L"Exception Exception in module LAGVANE\\.exe at [0-9A-F]{8}\\.\r\n"
                                                     L"버전 정보를 불러올 수 없습니다\\.\r\n")))
      << "text: " << testing::PrintToString(box.text);
  AnswerMessageBox(box.window);
  Watch watch;
  EXPECT_EQ(WaitForExitWatching(app, watch), std::optional<DWORD>(1));
  EXPECT_FALSE(watch.sawMainWindow);
  EXPECT_NE(GetFileAttributesW(installer_.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(FileBytes(installer_), "");
}

TEST_F(SelfUpdate, AnInstallerFileHeldOpenElsewhereEndsInTheApplicationErrorBoxWithoutARequest) {
  OfferAnUpdate();
  Server().AnswerAlways("/lagvanesetup.exe", fakes::Ok("MZ"));
  {
    const UniqueHandle held(CreateFileW(installer_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    AppProcess app = AppProcess::Start();
    Answer(WaitForBox(app), IDYES);
    const MessageBoxInfo box = WaitForBox(app);
    EXPECT_EQ(box.caption, L"Application Error");
    const std::wstring prefix = L"Exception EFCreateError in module LAGVANE.exe at ";
    EXPECT_EQ(box.text.substr(0, prefix.size()), prefix);
    EXPECT_NE(box.text.find(L".\r\nCannot create file \"" + installer_ + L"\". "), std::wstring::npos)
        << testing::PrintToString(box.text);
    AnswerMessageBox(box.window);
    EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(1));
  }
  EXPECT_EQ(Server().Requests(), (std::vector<std::string>{kManifestRequest, kManifestRequest}));
}

TEST_F(SelfUpdate, WithoutATemporaryFolderAWarningNamesTheHomepageAndTheProgramEnds) {
  OfferAnUpdate();
  // The system finds no temporary folder when TMP names one beyond 260 characters; the program
  // inherits it from here.
  std::optional<AppProcess> started;
  {
    const ScopedEnvironmentVariable tmp(L"TMP", L"C:\\" + std::wstring(300, L'x'));
    started.emplace(AppProcess::Start());
  }
  AppProcess& app = *started;

  Answer(WaitForBox(app), IDYES);
  const MessageBoxInfo box = WaitForBox(app);
  EXPECT_EQ(box.caption, L"Warning");
  const ServerAddress server = e2e::BuiltServerAddress();
  EXPECT_EQ(box.text, std::wstring(texts::kNoTempFolder) + L"http://127.0.0.1:" + std::to_wstring(server.port));
  EXPECT_TRUE(box.hasIcon);
  AnswerMessageBox(box.window);
  Watch watch;
  EXPECT_EQ(WaitForExitWatching(app, watch), std::optional<DWORD>(0));
  EXPECT_FALSE(watch.sawMainWindow);
  EXPECT_EQ(Server().Requests().size(), 2u) << "no download";
}
