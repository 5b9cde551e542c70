// The MSMQ service against the real registry, and ExecuteAndWait with the fake ocsetup.

#include "common/error.h"
#include "driver.h"
#include "error_of.h"
#include "registry_fixtures.h"
#include "tuning/msmq_setup.h"
#include "ui/application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

using namespace regtest;
using namespace std::chrono_literals;

namespace {

const std::wstring kMsmq = L"SOFTWARE\\Microsoft\\MSMQ";
const std::wstring kParameters = kMsmq + L"\\Parameters";

class IsMSMQInstalledTest : public ::testing::Test {
protected:
  KeySnapshot msmq{HKEY_LOCAL_MACHINE, kMsmq};
  TracingRegistryApi api;
  ScopedRegistryApi scope{api};

  void TearDown() override { EXPECT_EQ(api.Outstanding(), 0u) << "a key handle was left open"; }
};

TEST_F(IsMSMQInstalledTest, OnlyAWorkgroupDwordOfOneCountsAsInstalled) {
  DeleteTree(HKEY_LOCAL_MACHINE, kParameters);
  EXPECT_FALSE(IsMSMQInstalled(TMSMQMethod::mmOCSetup)) << "no parameters key";
  CreateRawKey(HKEY_LOCAL_MACHINE, kParameters);
  EXPECT_FALSE(IsMSMQInstalled(TMSMQMethod::mmOCSetup)) << "no Workgroup value";
  for (DWORD value : {0u, 2u, 0xFFFFFFFFu}) {
    SetRawDword(HKEY_LOCAL_MACHINE, kParameters, L"Workgroup", value);
    EXPECT_FALSE(IsMSMQInstalled(TMSMQMethod::mmOCSetup)) << "Workgroup = " << value;
  }
  SetRawDword(HKEY_LOCAL_MACHINE, kParameters, L"Workgroup", 1);
  EXPECT_TRUE(IsMSMQInstalled(TMSMQMethod::mmOCSetup));
}

TEST_F(IsMSMQInstalledTest, AWorkgroupOfAnotherTypeLetsTheRegistryErrorThrough) {
  SetRaw(HKEY_LOCAL_MACHINE, kParameters, L"Workgroup", REG_SZ, TextBytes(L"1"));
  EXPECT_EQ(ErrorOf([] { IsMSMQInstalled(TMSMQMethod::mmOCSetup); }), L"Invalid data type for 'Workgroup'");
  SetRaw(HKEY_LOCAL_MACHINE, kParameters, L"Workgroup", REG_BINARY, std::vector<BYTE>(8, 1));
  EXPECT_EQ(ErrorOf([] { IsMSMQInstalled(TMSMQMethod::mmOCSetup); }), L"Failed to get data for 'Workgroup'");
}

TEST_F(IsMSMQInstalledTest, WithoutAdministratorRightsItAnswersFalseEvenWhenInstalled) {
  SetRawDword(HKEY_LOCAL_MACHINE, kParameters, L"Workgroup", 1);
  DenyingRegistryApi denying;
  ScopedRegistryApi deny(denying);
  EXPECT_FALSE(IsMSMQInstalled(TMSMQMethod::mmOCSetup));
  EXPECT_EQ(denying.Outstanding(), 0u);
}

TEST(MSMQMethod, TheUnsupportedMethodFailsWithItsAssertion) {
  EXPECT_EQ(ErrorOf([] { IsMSMQInstalled(TMSMQMethod::mmUnsupported); }),
            L"Assertion failure (ZKLib\\ZKUtils, line 245)");
  bool called = false;
  const TNotifyCallback mark = [&] { called = true; };
  EXPECT_EQ(ErrorOf([&] { SetupMSMQ(TMSMQMethod::mmUnsupported, true, mark, mark); }),
            L"Assertion failure (ZKLib\\ZKUtils, line 275)");
  EXPECT_FALSE(called);
}

// ExecuteAndWait and SetupMSMQ with the fake ocsetup put where the shell finds "ocsetup".
class OcSetupTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::filesystem::copy_file(driver::BinDir() + L"\\fakes\\ocsetup.exe", std::wstring(system) + L"\\ocsetup.exe",
                               std::filesystem::copy_options::overwrite_existing);
  }

  void SetUp() override {
    log_ = std::filesystem::temp_directory_path() / L"lagvane-ocsetup.log";
    std::filesystem::remove(log_);
    SetEnvironmentVariableW(L"LAGVANE_OCSETUP_LOG", log_.c_str());
  }
  void TearDown() override {
    for (const wchar_t* name : {L"LAGVANE_OCSETUP_LOG", L"LAGVANE_OCSETUP_DELAY_MS", L"LAGVANE_OCSETUP_EXIT"})
      SetEnvironmentVariableW(name, nullptr);
    std::filesystem::remove(log_);
  }

  std::string Log() const {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path log_;
};

TEST_F(OcSetupTest, InstallAndRemovalStartOcsetupWithTheirExactParametersAndWaitForIt) {
  SetEnvironmentVariableW(L"LAGVANE_OCSETUP_DELAY_MS", L"300");
  std::vector<std::string> events;
  const auto note = [&](const char* what) { return [&events, what] { events.push_back(what); }; };

  const auto started = std::chrono::steady_clock::now();
  SetupMSMQ(TMSMQMethod::mmOCSetup, true, note("before install"), note("after install"));
  EXPECT_GE(std::chrono::steady_clock::now() - started, 250ms) << "returned before ocsetup ended";
  SetupMSMQ(TMSMQMethod::mmOCSetup, false, note("before removal"), note("after removal"));

  EXPECT_EQ(Log(), "MSMQ-Container;MSMQ-Server\nMSMQ-Container;MSMQ-Server /uninstall /quiet /norestart\n");
  EXPECT_EQ(events, (std::vector<std::string>{"before install", "after install", "before removal", "after removal"}));
}

TEST_F(OcSetupTest, MessagesAreHandledWhileWaitingAndAFailingExitCodeStillEndsTheWait) {
  SetEnvironmentVariableW(L"LAGVANE_OCSETUP_DELAY_MS", L"600");
  SetEnvironmentVariableW(L"LAGVANE_OCSETUP_EXIT", L"1603");
  // A timer on this thread fires only if the wait handles messages between its passes.
  int ticks = 0;
  static int* tickCounter = nullptr;
  tickCounter = &ticks;
  // A timer procedure is stdcall on i686, which a lambda cannot be.
  struct Tick {
    static void CALLBACK Count(HWND, UINT, UINT_PTR, DWORD) { ++*tickCounter; }
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &Tick::Count);
  bool after = false;
  ExecuteAndWait(L"ocsetup", L"x", nullptr, [&] { after = true; });
  KillTimer(nullptr, timer);
  EXPECT_TRUE(after);
  EXPECT_GE(ticks, 5) << "messages waited while ocsetup ran";
}

TEST_F(OcSetupTest, AFailedStartShowsTheSystemsTextAndSkipsTheAfterCallback) {
  TApplication::Initialize().SetTitle(L"");
  // The shell may put up a box of its own first; every box is answered and the last one is ours.
  const DWORD uiThread = GetCurrentThreadId();
  std::atomic<bool> done = false;
  auto watcher = std::async(std::launch::async, [uiThread, &done] {
    std::vector<driver::MessageBoxInfo> boxes;
    while (!done) {
      if (auto box = driver::WaitForThreadMessageBox(uiThread, 200ms)) {
        boxes.push_back(*box);
        driver::AnswerMessageBox(box->window, IDOK);
        driver::WaitUntil([&] { return !IsWindow(box->window); }, 5s);
      }
    }
    return boxes;
  });
  bool before = false;
  bool after = false;
  ExecuteAndWait(L"lagvane-no-such-program", L"", [&] { before = true; }, [&] { after = true; });
  done = true;
  const auto boxes = watcher.get();
  ASSERT_FALSE(boxes.empty()) << "no message box";
  const auto box = &boxes.back();

  wchar_t* system = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_FILE_NOT_FOUND, 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
  ASSERT_NE(system, nullptr);
  const std::wstring expected = TrimSystemMessage(system);
  LocalFree(system);
  EXPECT_EQ(box->text, expected);
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(box->caption, L"");
  EXPECT_FALSE(box->hasIcon);
  EXPECT_TRUE(before);
  EXPECT_FALSE(after);
}

}  // namespace
