// The self-update at start-up and the start report, with the real program against the maker's
// server played on loopback.

#include "common/texts.h"
#include "driver.h"
#include "maker_server.h"
#include "manifest_signer.h"

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

  // The server announces, signed, a newer version than the one installed, and this installer.
  void OfferAnUpdate(std::string_view installer = "MZ") {
    SetInstalledVersion(L"1.0.0.1");
    Server().AnswerAlways("/version.dat",
                          fakes::Ok(fakes::Signed("Other.exe=7.0\r\n" + fakes::InstallerEntries("1.0.0.2", installer))));
  }

  // The installer the fake one's bytes, as the tests serve it.
  static std::string FakeInstaller() {
    const std::string bytes = FileBytes(BinDir() + L"\\fake_installer.exe");
    if (bytes.size() < 1000) throw std::runtime_error("no fake installer");
    return bytes;
  }

  // Whether the fake installer has noted its start, and from where.
  static std::optional<std::wstring> InstallerStartedFrom(std::chrono::milliseconds wait) {
    std::optional<std::wstring> started;
    WaitUntil(
        [&] {
          UniqueHKey key;
          if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\LAGVANE-tests", 0, KEY_QUERY_VALUE, key.put()) !=
              ERROR_SUCCESS) {
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
        wait);
    return started;
  }

  // A run that offers the update, is answered Yes, and ends in the last-chance box of a failed
  // download with exit code 1.
  void ExpectAFailedDownload() {
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
  }

  // A run that asks nothing and opens its window, as when the server cannot be reached.
  void ExpectANormalStartWithoutAQuestion(const std::string& what) {
    AppProcess app = AppProcess::Start();
    const HWND window = app.MainWindow();
    ASSERT_NE(window, nullptr) << what;
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value()) << what;
    ASSERT_TRUE(Server().WaitForRequests(3, 20s)) << what;
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(20s), std::optional<DWORD>(0)) << what;
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
  const std::string installerBytes = FakeInstaller();
  OfferAnUpdate(installerBytes);
  Server().AnswerAlways("/lagvanesetup.exe", fakes::Ok(installerBytes, "application/octet-stream"));

  AppProcess app = AppProcess::Start();
  Answer(WaitForBox(app), IDYES);
  Watch watch;
  EXPECT_EQ(WaitForExitWatching(app, watch), std::optional<DWORD>(0));
  EXPECT_FALSE(watch.sawMainWindow);
  EXPECT_FALSE(watch.sawMutex) << "the program ends before the single-instance check";

  EXPECT_EQ(FileBytes(installer_), installerBytes);
  const std::optional<std::wstring> started = InstallerStartedFrom(20s);
  ASSERT_TRUE(started.has_value()) << "the downloaded installer never ran";
  EXPECT_EQ(_wcsicmp(started->c_str(), installer_.c_str()), 0) << "the downloaded installer ran: " << started->size();
  EXPECT_EQ(Server().Requests(), (std::vector<std::string>{kManifestRequest, kManifestRequest, kInstallerRequest}));
}

TEST_F(SelfUpdate, AnInstallerThatIsNotTheSignedOneIsNeverStartedAndIsDeleted) {
  const std::string installerBytes = FakeInstaller();
  std::string tampered = installerBytes;
  tampered[tampered.size() / 2] ^= 0x01;
  const struct {
    const char* what;
    std::string served;
  } cases[] = {
      {"one byte changed", tampered},
      {"one byte more", installerBytes + "!"},
  };
  for (const auto& c : cases) {
    OfferAnUpdate(installerBytes);
    Server().AnswerAlways("/lagvanesetup.exe", fakes::Ok(c.served, "application/octet-stream"));
    ExpectAFailedDownload();
    EXPECT_EQ(GetFileAttributesW(installer_.c_str()), INVALID_FILE_ATTRIBUTES) << c.what << ": deleted";
    EXPECT_FALSE(InstallerStartedFrom(2s).has_value()) << c.what << ": never started";
  }
}

TEST_F(SelfUpdate, AManifestWithoutTheMakersSignatureIsAsIfTheServerWereDown) {
  const std::string entries = fakes::InstallerEntries("1.0.0.2", "MZ");
  std::string altered = fakes::Signed(entries);
  altered[altered.find("1.0.0.2") + 6] = '3';
  const struct {
    const char* what;
    std::string manifest;
  } cases[] = {
      {"unsigned", entries},
      {"altered after signing", altered},
      {"signed by another key", fakes::Signed(entries, fakes::SigningKey::kOther)},
      {"signed without the installer's hash", fakes::Signed("LAGVANE.exe=1.0.0.2\r\nlagvanesetup.exe.size=2\r\n")},
  };
  SetInstalledVersion(L"1.0.0.1");
  for (const auto& c : cases) {
    Server().AnswerAlways("/version.dat", fakes::Ok(c.manifest));
    const std::size_t before = Server().Requests().size();
    ExpectANormalStartWithoutAQuestion(c.what);
    const std::vector<std::string> requests = Server().Requests();
    EXPECT_EQ(std::vector<std::string>(requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end()),
              (std::vector<std::string>{kManifestRequest, kManifestRequest, kReportRequest}))
        << c.what;
  }
}

TEST_F(SelfUpdate, ASignedVersionThatIsNotNewerIsNeverOffered) {
  const struct {
    std::wstring installed;
    std::string announced;
  } cases[] = {
      {L"1.0.0.1", "0.9.0.0"},  // an old manifest replayed
      {L"2.0.0.0", "1.0.0.5"},  // newer place by place, older by significance
  };
  for (const auto& c : cases) {
    SetInstalledVersion(c.installed);
    Server().AnswerAlways("/version.dat", fakes::Ok(fakes::SignedManifest(c.announced, "MZ")));
    ExpectANormalStartWithoutAQuestion(c.announced);
  }
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
  ExpectAFailedDownload();
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
