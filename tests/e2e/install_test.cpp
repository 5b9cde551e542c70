// The real installer and uninstaller of this build under Wine: what they put in place and take
// away, how they end a running LAGVANE, and the whole self-update loop against the maker's server
// played on loopback. Every test leaves the prefix as it found it (uninstalled, keys removed).

#include "common/texts.h"
#include "driver.h"
#include "maker_server.h"
#include "manifest_signer.h"
#include "version.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

using namespace driver;
namespace fs = std::filesystem;

namespace {

const std::wstring kVersion = L"" LAGVANE_VERSION_TEXT;
const std::wstring kProductKey = L"SOFTWARE\\LAGVANE";
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LAGVANE";
const std::wstring kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kMsmq = L"SOFTWARE\\Microsoft\\MSMQ\\Parameters";
const std::wstring kInterfaces = L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
const std::wstring kTestInterface = kInterfaces + L"\\{E2E00000-0000-0000-0000-0000000000C1}";
const std::wstring kDnscache = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
const wchar_t* const kWebValues[] = {L"CachehHashTableBucketSize", L"CachehHashTableSize", L"MaxCacheEntryTtlLimit",
                                     L"MaxSOACacheEntryTtlLimit"};
const std::string kInstallLine = "MSMQ-Container;MSMQ-Server\n";
const std::string kRemovalLine = "MSMQ-Container;MSMQ-Server /uninstall /quiet /norestart\n";
// The installer's window shows "<name> 설치" in its caption.
const std::wstring kInstallerCaption = L"LAGVANE 설치";

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

// Where this build's installer puts the program: the Program Files folder of its own kind, which
// is the one a process of the test's kind sees.
const std::wstring kInstallDir = Folder(CSIDL_PROGRAM_FILES) + L"\\LAGVANE";
const std::wstring kInstalledExe = kInstallDir + L"\\LAGVANE.exe";
const std::wstring kShortcut = Folder(CSIDL_COMMON_PROGRAMS) + L"\\LAGVANE.lnk";

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name,
                                       REGSAM view = 0) {
  UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return std::nullopt;
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

// The target of a shell link, read through the shell as Explorer would.
std::wstring ShortcutTarget(const std::wstring& link) {
  CoInitialize(nullptr);
  std::wstring target;
  IShellLinkW* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shellLink)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t path[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
          SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0))) {
        target = path;
      }
      file->Release();
    }
    shellLink->Release();
  }
  CoUninitialize();
  return target;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SameText(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// A visible top-level window of any process with this class and caption.
HWND FindAnyWindow(const std::wstring& className, const std::wstring& caption) {
  std::vector<HWND> windows;
  EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) {
    if (IsWindowVisible(window) && ClassNameOf(window) == className && TextOf(window) == caption) return window;
  }
  return nullptr;
}

// A process the test did not start itself (the installer, the program it starts), watched by id.
class WatchedProcess {
public:
  explicit WatchedProcess(DWORD id) : process_(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, id)) {}
  ~WatchedProcess() {
    // Only a failed test leaves one running; it must not hold the next test.
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 99);
  }
  std::optional<DWORD> WaitForExit(Millis timeout) {
    if (!process_ || WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
      return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

private:
  UniqueHandle process_;
};

class Installer : public e2e::WithMakerServer {
protected:
  void SetUp() override {
    WithMakerServer::SetUp();
    RemoveEverything();
    // The installer writes the installed version itself.
    reg::DeleteTree(HKEY_CURRENT_USER, kProductKey);
    // The first start runs the fake setup program of the system's components.
    fs::copy_file(BinDir() + L"\\fakes\\ocsetup.exe", Folder(CSIDL_SYSTEM) + L"\\ocsetup.exe",
                  fs::copy_options::overwrite_existing);
    ocsetupLog_ = fs::temp_directory_path() / L"lagvane-install-ocsetup.log";
    fs::remove(ocsetupLog_);
    SetEnvironmentVariableW(L"LAGVANE_OCSETUP_LOG", ocsetupLog_.c_str());
    connectLog_ = fs::temp_directory_path() / L"lagvane-install-connect.log";
    fs::remove(connectLog_);
    SetEnvironmentVariableW(L"LAGVANE_CONNECT_LOG", connectLog_.c_str());
    reg::WriteString(HKEY_LOCAL_MACHINE, kTestInterface, L"E2E", L"");
  }

  void TearDown() override {
    if (HasFailure()) Screenshot::Capture().Save(BinDir() + L"\\install_failure.bmp");
    if (app_ && window_ && app_->Running()) {
      PostMessageW(window_, WM_CLOSE, 0, 0);
      app_->WaitForExit(30s);
    }
    app_.reset();
    if (Exists(kInstallDir + L"\\uninstall.exe")) RunUninstaller(L"/S");
    RemoveEverything();
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kTestInterface);
    SetEnvironmentVariableW(L"LAGVANE_OCSETUP_LOG", nullptr);
    SetEnvironmentVariableW(L"LAGVANE_CONNECT_LOG", nullptr);
    fs::remove(ocsetupLog_);
    fs::remove(connectLog_);
    WithMakerServer::TearDown();
  }

  // Whatever an earlier failed run may have left, and every tweak.
  static void RemoveEverything() {
    std::error_code ignored;
    fs::remove_all(kInstallDir, ignored);
    fs::remove(kShortcut, ignored);
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    reg::DeleteTree(HKEY_CURRENT_USER, kProductKey);
    reg::DeleteValue(HKEY_CURRENT_USER, kRunKey, L"LAGVANE");
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kMsmq);
    reg::DeleteValue(HKEY_LOCAL_MACHINE, kTestInterface, L"TcpAckFrequency");
    for (const wchar_t* name : kWebValues) reg::DeleteValue(HKEY_LOCAL_MACHINE, kDnscache, name);
  }

  // The silent installer of this build; its exit code.
  static std::optional<DWORD> RunSilentInstaller() {
    AppProcess installer = AppProcess::Start(L"/S", L"lagvanesetup.exe");
    return installer.WaitForExit(120s);
  }

  // The uninstaller hands over to a copy of itself in the temporary folder and ends at once, so
  // the uninstallation is over when its entry, the last thing it removes, has gone.
  static bool RunUninstaller(const std::wstring& arguments) {
    AppProcess uninstaller = AppProcess::Start(arguments, kInstallDir + L"\\uninstall.exe");
    uninstaller.WaitForExit(30s);
    return WaitUntil([] { return !reg::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, 120s, 200ms);
  }

  void LaunchInstalled() {
    app_.emplace(AppProcess::Start(L"", kInstalledExe));
    window_ = app_->MainWindow(30s);
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

  static bool GameSetWritten() {
    return reg::ReadDword(HKEY_LOCAL_MACHINE, kMsmq, L"TCPNoDelay") == std::optional<DWORD>(1) &&
           reg::ReadDword(HKEY_LOCAL_MACHINE, kTestInterface, L"TcpAckFrequency") == std::optional<DWORD>(1);
  }
  static bool NoTweakLeft() {
    bool none = !reg::ValueExists(HKEY_LOCAL_MACHINE, kMsmq, L"TCPNoDelay") &&
                !reg::ValueExists(HKEY_LOCAL_MACHINE, kTestInterface, L"TcpAckFrequency");
    for (const wchar_t* name : kWebValues) none = none && !reg::ValueExists(HKEY_LOCAL_MACHINE, kDnscache, name);
    return none;
  }

  std::string OcsetupLog() const { return FileBytes(ocsetupLog_); }
  std::size_t ConnectCalls() const {
    std::istringstream lines(FileBytes(connectLog_));
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line);) count += !line.empty();
    return count;
  }

  fs::path ocsetupLog_;
  fs::path connectLog_;
  std::optional<AppProcess> app_;
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND game_ = nullptr;
  HWND web_ = nullptr;
};

}  // namespace

TEST_F(Installer, SilentInstallPutsEveryPieceInPlaceAndTheFirstStartIsAFirstRun) {
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));

  EXPECT_EQ(FileBytes(kInstalledExe), FileBytes(BinDir() + L"\\LAGVANE.exe"));
  EXPECT_EQ(FileBytes(kInstallDir + L"\\NetworkControl.dll"), FileBytes(BinDir() + L"\\NetworkControl.dll"));
  EXPECT_TRUE(Exists(kInstallDir + L"\\uninstall.exe"));
  EXPECT_TRUE(SameText(ShortcutTarget(kShortcut), kInstalledExe)) << "shortcut: " << Exists(kShortcut);

  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kProductKey, L"LAGVANE.exe"), kVersion);
  EXPECT_TRUE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));

  const std::wstring uninstaller = L"\"" + kInstallDir + L"\\uninstall.exe\"";
  const std::pair<const wchar_t*, std::wstring> entry[] = {
      {L"DisplayName", L"LAGVANE"},
      {L"DisplayVersion", kVersion},
      {L"Publisher", L"LAGVANE"},
      {L"DisplayIcon", kInstalledExe + L",0"},
      {L"UninstallString", uninstaller},
      {L"QuietUninstallString", uninstaller + L" /S"},
  };
  for (const auto& [name, value] : entry) {
    const std::optional<std::wstring> read = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, name);
    EXPECT_TRUE(read && SameText(*read, value)) << testing::PrintToString(name);
  }
  EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"NoModify"), std::optional<DWORD>(1));
  EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"NoRepair"), std::optional<DWORD>(1));
  const std::uintmax_t bytes = fs::file_size(kInstalledExe) + fs::file_size(kInstallDir + L"\\NetworkControl.dll");
  const std::optional<DWORD> size = reg::ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize");
  ASSERT_TRUE(size.has_value());
  EXPECT_GE(*size, bytes / 1024) << "in KiB, the files at least";
  EXPECT_LT(*size, bytes / 1024 + 1024);

  EXPECT_EQ(FindAnyWindow(L"TfrmMain", L"LAGVANE"), nullptr) << "the silent installer starts nothing";

  // The first start of the installed program installs the system's components and takes the
  // marker away.
  ASSERT_NO_FATAL_FAILURE(LaunchInstalled());
  EXPECT_EQ(OcsetupLog(), kInstallLine);
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(app_->WaitForExit(30s), std::optional<DWORD>(0));
}

TEST_F(Installer, InstallOverARunningLagvaneInGameModeEndsItThroughItsCloseQueryAndUpdatesInPlace) {
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  // The installed program with the recording library in place of the real one, so that game mode
  // touches no adapter; an older version, and the user's autostart choice.
  fs::copy_file(BinDir() + L"\\..\\fakes\\NetworkControl.dll", kInstallDir + L"\\NetworkControl.dll",
                fs::copy_options::overwrite_existing);
  reg::DeleteValue(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization");
  reg::WriteString(HKEY_CURRENT_USER, kRunKey, L"LAGVANE", kInstalledExe);

  ASSERT_NO_FATAL_FAILURE(LaunchInstalled());
  // Once it runs, so that its start offers no update.
  SetInstalledVersion(L"0.9.0.0");
  Click(game_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusGame, 30s)) << testing::PrintToString(TextOf(label_));
  ASSERT_TRUE(GameSetWritten());
  ASSERT_EQ(ConnectCalls(), 4u);
  // Hidden, as its close button leaves it: still running, with its tweaks in force.
  ShowWindow(window_, SW_HIDE);

  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  EXPECT_EQ(app_->WaitForExit(0s), std::optional<DWORD>(0)) << "ended by its close query, not killed";
  EXPECT_TRUE(NoTweakLeft());
  EXPECT_EQ(ConnectCalls(), 4u) << "the close resets nothing";
  EXPECT_EQ(FileBytes(kInstallDir + L"\\NetworkControl.dll"), FileBytes(BinDir() + L"\\NetworkControl.dll"));
  EXPECT_EQ(FileBytes(kInstalledExe), FileBytes(BinDir() + L"\\LAGVANE.exe"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kProductKey, L"LAGVANE.exe"), kVersion);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRunKey, L"LAGVANE"), kInstalledExe);
}

TEST_F(Installer, SilentUninstallEndsARunningLagvaneRemovesItsComponentsAndLeavesNothingOfOurs) {
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  // The system's components are in place, so the program's removal switch has work to do.
  reg::WriteDword(HKEY_LOCAL_MACHINE, kMsmq, L"Workgroup", 1);
  reg::WriteString(HKEY_CURRENT_USER, kRunKey, L"LAGVANE", kInstalledExe);
  // Internet mode calls no network library, so the real installed one stays.
  ASSERT_NO_FATAL_FAILURE(LaunchInstalled());
  Click(web_);
  ASSERT_TRUE(LabelBecomes(texts::kStatusWeb, 10s));
  ASSERT_TRUE(reg::ValueExists(HKEY_LOCAL_MACHINE, kDnscache, kWebValues[0]));
  // A newer version on the server must not hold the removal with an update question.
  Server().AnswerAlways("/version.dat", fakes::Ok(fakes::SignedManifest("99.0.0.0", "MZ")));
  const std::size_t requestsBefore = Server().Requests().size();

  // The command Programs and Features runs for a quiet removal.
  const std::optional<std::wstring> quiet = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString");
  ASSERT_TRUE(quiet.has_value());
  const std::wstring suffix = L"\" /S";
  ASSERT_TRUE(quiet->size() > suffix.size() + 1 && quiet->front() == L'"' &&
              quiet->substr(quiet->size() - suffix.size()) == suffix);
  const std::wstring uninstaller = quiet->substr(1, quiet->size() - suffix.size() - 1);
  ASSERT_TRUE(SameText(uninstaller, kInstallDir + L"\\uninstall.exe"));
  ASSERT_TRUE(RunUninstaller(L"/S")) << "the uninstall entry is still there";

  EXPECT_EQ(app_->WaitForExit(0s), std::optional<DWORD>(0)) << "ended by its close query, not killed";
  EXPECT_TRUE(NoTweakLeft());
  EXPECT_EQ(OcsetupLog(), kRemovalLine) << "LAGVANE.exe --UNINSTALL ran";
  EXPECT_EQ(Server().Requests().size(), requestsBefore) << "the removal run asks the server nothing";
  EXPECT_TRUE(WaitUntil([] { return !Exists(kInstallDir); }, 10s)) << "the program's folder is left";
  EXPECT_FALSE(Exists(kShortcut));
  EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kRunKey, L"LAGVANE"));
  EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_FALSE(reg::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(Installer, UninstallKeepsAnAutostartEntryThatStartsAnotherCopy) {
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  const std::wstring other = L"C:\\Other\\LAGVANE.exe";
  reg::WriteString(HKEY_CURRENT_USER, kRunKey, L"LAGVANE", other);
  ASSERT_TRUE(RunUninstaller(L"/S"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRunKey, L"LAGVANE"), other);
  EXPECT_TRUE(WaitUntil([] { return !Exists(kInstallDir); }, 10s));
}

// A newer version announced, the update accepted, the downloaded installer's pages gone through as
// a user would, the installed version now the announced one, and the start from the finish page
// offering nothing.
TEST_F(Installer, TheSelfUpdateLoopEndsWithTheAnnouncedVersionInstalledAndNothingOffered) {
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  reg::DeleteValue(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization");
  SetInstalledVersion(L"0.9.0.0");
  // The maker's signed manifest for the installer this build made.
  const std::string installerBytes = FileBytes(BinDir() + L"\\lagvanesetup.exe");
  Server().AnswerAlways("/version.dat", fakes::Ok(fakes::SignedManifest(LAGVANE_VERSION_TEXT, installerBytes)));
  Server().AnswerAlways("/lagvanesetup.exe", fakes::Ok(installerBytes, "application/octet-stream"));

  app_.emplace(AppProcess::Start(L"", kInstalledExe));
  const std::optional<MessageBoxInfo> question = WaitForMessageBox(app_->Id(), 30s);
  ASSERT_TRUE(question.has_value());
  ASSERT_EQ(question->text, texts::kUpdateQuestion);
  AnswerMessageBox(question->window, IDYES);
  ASSERT_EQ(app_->WaitForExit(30s), std::optional<DWORD>(0));

  // The installer's pages: Next, Next (the folder it found), then Finish with "run" ticked. Each
  // button is pressed only once it is enabled, as a user could.
  HWND page = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (page = FindAnyWindow(L"#32770", kInstallerCaption)) != nullptr; }, 30s));
  DWORD installerId = 0;
  GetWindowThreadProcessId(page, &installerId);
  WatchedProcess installer(installerId);
  int pressed = 0;
  const bool finished = WaitUntil(
      [&] {
        if (!IsWindow(page)) return true;
        const HWND next = GetDlgItem(page, IDOK);
        if (next && IsWindowVisible(next) && IsWindowEnabled(next)) {
          PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(next));
          ++pressed;
          std::this_thread::sleep_for(1000ms);
        }
        return false;
      },
      120s, 200ms);
  ASSERT_TRUE(finished) << "the installer's pages did not end, after " << pressed << " presses";
  EXPECT_EQ(installer.WaitForExit(30s), std::optional<DWORD>(0));
  EXPECT_EQ(pressed, 3);

  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kProductKey, L"LAGVANE.exe"), kVersion);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), kVersion);

  // The finish page started the installed program: it asks, finds nothing newer and opens.
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = FindAnyWindow(L"TfrmMain", L"LAGVANE")) != nullptr; }, 30s));
  DWORD startedId = 0;
  GetWindowThreadProcessId(window, &startedId);
  WatchedProcess started(startedId);
  EXPECT_FALSE(FindMessageBox(startedId).has_value());
  ASSERT_TRUE(Server().WaitForRequests(6, 20s));
  const std::string manifest = e2e::RequestFor("/version.dat");
  EXPECT_EQ(Server().Requests(),
            (std::vector<std::string>{manifest, manifest, e2e::RequestFor("/lagvanesetup.exe"), manifest, manifest,
                                      e2e::RequestFor(e2e::kStartReportPath)}));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(started.WaitForExit(30s), std::optional<DWORD>(0));

  wchar_t temp[MAX_PATH + 1] = {};
  const std::wstring downloaded = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"lagvanesetup.exe";
  EXPECT_EQ(FileBytes(downloaded), installerBytes);
  WaitUntil([&] { return DeleteFileW(downloaded.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; }, 10s);
}

namespace {

const std::wstring kActiveSetupKey = L"Software\\Microsoft\\Active Setup\\Installed Components\\LAGVANE";
// The machine's own view, where the entry lives for both installers: the 64-bit one on 64-bit
// Windows, where the system's Active Setup reads it (ignored on 32-bit Windows).
constexpr REGSAM kNativeView = KEY_WOW64_64KEY;

std::wstring Dotted(std::initializer_list<int> parts) {
  std::wstring text;
  for (int part : parts) text += (text.empty() ? L"" : L".") + std::to_wstring(part);
  return text;
}

// Active Setup writes its versions with commas.
std::wstring ActiveSetupVersion(std::wstring version) {
  std::replace(version.begin(), version.end(), L'.', L',');
  return version;
}

// Runs a command line as Windows does for an Active Setup entry at a user's log-on; its exit code.
std::optional<DWORD> RunCommandLine(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return std::nullopt;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 99);
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

// The installer over an installation that claims another version, and the machine-wide entry
// that gives every user the per-user values; leaves the prefix as it found it.
class InstallerOverAnInstallation : public Installer {
protected:
  void SetUp() override {
    Installer::SetUp();
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kActiveSetupKey, kNativeView);
    reg::DeleteTree(HKEY_CURRENT_USER, kActiveSetupKey);
  }
  void TearDown() override {
    Installer::TearDown();
    reg::DeleteTree(HKEY_LOCAL_MACHINE, kActiveSetupKey, kNativeView);
    reg::DeleteTree(HKEY_CURRENT_USER, kActiveSetupKey);
  }

  // Makes the installed copy look like `version` with a program of its own, so that whether the
  // installer replaced anything shows.
  void PretendInstalled(const std::wstring& version) {
    reg::WriteString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", version);
    reg::WriteString(HKEY_CURRENT_USER, kProductKey, L"LAGVANE.exe", version);
    reg::DeleteValue(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization");
    reg::WriteString(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"Version", ActiveSetupVersion(version), kNativeView);
    std::ofstream(fs::path(kInstalledExe), std::ios::binary | std::ios::trunc) << kOtherProgram;
  }
  void ExpectUntouched(const std::wstring& version) {
    EXPECT_EQ(FileBytes(kInstalledExe), kOtherProgram);
    EXPECT_TRUE(FileBytes(kInstallDir + L"\\NetworkControl.dll") == FileBytes(BinDir() + L"\\NetworkControl.dll"));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), version);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kProductKey, L"LAGVANE.exe"), version);
    EXPECT_FALSE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"Version", kNativeView), ActiveSetupVersion(version));
  }

  static constexpr const char* kOtherProgram = "the installed program";
};

}  // namespace

TEST_F(InstallerOverAnInstallation, ASilentInstallNeverReplacesANewerVersionButRepairsAndUpgrades) {
  static_assert(LAGVANE_VERSION_MAJOR >= 1, "the older cases need a version below this one");
  constexpr int kMajor = LAGVANE_VERSION_MAJOR, kMinor = LAGVANE_VERSION_MINOR, kPatch = LAGVANE_VERSION_PATCH,
                kTweak = LAGVANE_VERSION_TWEAK;
  const struct {
    std::wstring installed;
    bool replaced;
  } cases[] = {
      {Dotted({kMajor + 1}), false},
      {Dotted({kMajor, kMinor + 1}), false},
      {Dotted({kMajor, kMinor, kPatch, kTweak + 1}), false},
      {kVersion + L".1", false},
      {kVersion, true},
      {kVersion + L".0", true},
      {Dotted({kMajor - 1, 99, 99, 99}), true},
  };
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.installed));
    PretendInstalled(c.installed);
    const std::optional<DWORD> code = RunSilentInstaller();
    ASSERT_TRUE(code.has_value());
    if (c.replaced) {
      EXPECT_EQ(*code, 0u);
      EXPECT_TRUE(FileBytes(kInstalledExe) == FileBytes(BinDir() + L"\\LAGVANE.exe")) << "the program replaced";
      EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), kVersion);
      EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kProductKey, L"LAGVANE.exe"), kVersion);
      EXPECT_TRUE(reg::ValueExists(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"));
    } else {
      EXPECT_EQ(*code, 2u);
      ExpectUntouched(c.installed);
    }
  }
}

TEST_F(InstallerOverAnInstallation, WithItsPagesItTellsWhyItWillNotReplaceANewerVersion) {
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  const std::wstring newer = Dotted({LAGVANE_VERSION_MAJOR + 1, 0, 0, 0});
  PretendInstalled(newer);

  AppProcess installer = AppProcess::Start(L"", L"lagvanesetup.exe");
  const std::optional<MessageBoxInfo> box = WaitForMessageBox(installer.Id(), 60s);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text.rfind(L"더 새로운 버전의 LAGVANE이 이미 설치되어 있습니다.", 0), 0u) << testing::PrintToString(box->text);
  EXPECT_NE(box->text.find(newer), std::wstring::npos) << "it names the installed version";
  EXPECT_TRUE(box->hasIcon);
  AnswerMessageBox(box->window, IDOK);
  const std::optional<DWORD> code = installer.WaitForExit(30s);
  ASSERT_TRUE(code.has_value());
  EXPECT_NE(*code, 0u);
  EXPECT_EQ(FindAnyWindow(L"#32770", kInstallerCaption), nullptr) << "no page after the message";
  ExpectUntouched(newer);
}

// Windows runs the entry's command once for each user at their next log-on; here another user is
// played by the same profile with the values taken away.
TEST_F(InstallerOverAnInstallation, EveryUserGetsTheInstalledVersionAndTheFirstRunMarkerAtTheirNextLogOn) {
  ASSERT_EQ(RunSilentInstaller(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"Version", kNativeView), ActiveSetupVersion(kVersion));
  EXPECT_EQ(reg::ReadDword(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"IsInstalled", kNativeView),
            std::optional<DWORD>(1));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kActiveSetupKey, L"Version"), ActiveSetupVersion(kVersion))
      << "the installing user has the values already and is not given them a second time";
  // Both kinds of program share HKCU's Software: nothing of ours may ask for a 32-bit branch there
  // (Wine would then send every 32-bit program's HKCU Software into it).
  EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, L"Software\\Wow6432Node"));
  const std::optional<std::wstring> stubPath =
      ReadString(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"StubPath", kNativeView);
  ASSERT_TRUE(stubPath.has_value());

  reg::DeleteTree(HKEY_CURRENT_USER, kProductKey);
  EXPECT_EQ(RunCommandLine(*stubPath), std::optional<DWORD>(0)) << testing::PrintToString(*stubPath);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kProductKey, L"LAGVANE.exe"), kVersion);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kProductKey, L"NeedOptimization"), std::optional<std::wstring>(L""));

  ASSERT_TRUE(RunUninstaller(L"/S"));
  EXPECT_FALSE(reg::KeyExists(HKEY_LOCAL_MACHINE, kActiveSetupKey, kNativeView));
  EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, kActiveSetupKey));
  EXPECT_TRUE(WaitUntil([] { return !Exists(kInstallDir); }, 10s)) << "the values file went with the program";
}
