// NetworkControl.dll's record of dropped adapters in the real registry, and the repair that a
// fresh load of the real library runs from it. The adapters themselves cannot be switched under
// Wine, so the bookkeeping over the real record runs against a recording machine here.

#include "adapter_keeper.h"
#include "adapter_operations.h"
#include "adapter_record.h"
#include "common/unique_handle.h"
#include "driver.h"
#include "network_control.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Ids = std::vector<std::wstring>;
using ConnectFunction = int(__cdecl*)(int);

const std::wstring kWired = L"PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02\\3&267A616A&1&18";
const std::wstring kWireless = L"USB\\VID_0BDA&PID_8179\\00E04C0001";
const std::wstring kUnplugged = L"USB\\VID_2357&PID_010C\\00E04C0002";

Ids Sorted(Ids ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

// Empties the record, in the view the library uses, whichever build runs the tests.
void ClearRecord() {
  for (const std::wstring& id : TRegistryAdapterRecord().Read()) TRegistryAdapterRecord().Remove(id);
  ASSERT_TRUE(TRegistryAdapterRecord().Read().empty());
}

class AdapterRecord : public testing::Test {
protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(ClearRecord()); }
  void TearDown() override { ClearRecord(); }
};

// A machine whose adapters are only entries here; its disables check the real record.
struct RecordingMachine : IAdapterOperations {
  std::map<std::wstring, TAdapterState> states;
  Ids droppable;
  Ids log;
  Ids disabledUnrecorded;

  Ids ListDroppable() override { return droppable; }
  bool Disable(const std::wstring& id) override {
    const Ids recorded = TRegistryAdapterRecord().Read();
    if (std::find(recorded.begin(), recorded.end(), id) == recorded.end()) disabledUnrecorded.push_back(id);
    log.push_back(L"disable " + id);
    states[id] = TAdapterState::Disabled;
    return true;
  }
  bool Enable(const std::wstring& id) override {
    log.push_back(L"enable " + id);
    states[id] = TAdapterState::Enabled;
    return true;
  }
  TAdapterState State(const std::wstring& id) override {
    const auto it = states.find(id);
    return it == states.end() ? TAdapterState::Absent : it->second;
  }
};

// The connected adapters on a hardware bus that Wine reports, all of them up.
Ids PresentAdapters() {
  Ids present;
  TComApartment apartment;
  const auto adapters = MakeSystemAdapterOperations();
  for (const std::wstring& id : adapters->ListDroppable()) {
    if (adapters->State(id) == TAdapterState::Enabled) present.push_back(id);
  }
  return present;
}

}  // namespace

TEST_F(AdapterRecord, KeepsEachEntryInItsOwnKeyUntilItIsRemoved) {
  TRegistryAdapterRecord record;
  EXPECT_TRUE(record.Read().empty());
  EXPECT_TRUE(record.Add(kWired));
  EXPECT_TRUE(record.Add(kWireless));
  EXPECT_TRUE(record.Add(kWired)) << "again: no change";
  EXPECT_EQ(Sorted(record.Read()), Sorted({kWired, kWireless}));
  // A fresh store (the next process) reads the same.
  EXPECT_EQ(Sorted(TRegistryAdapterRecord().Read()), Sorted({kWired, kWireless}));

  // Where it lives: its own HKLM key, one DWORD value per device id, outside the key that the
  // program deletes at every start.
  UniqueHKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterRecordKey, 0, KEY_READ | TRegistryAdapterRecord::View(), key.put()),
            ERROR_SUCCESS);
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  ASSERT_EQ(RegQueryValueExW(key.get(), kWired.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_FALSE(driver::reg::KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LAGVANE"));

  record.Remove(kWired);
  record.Remove(kUnplugged);  // not there: no change
  EXPECT_EQ(record.Read(), Ids{kWireless});
  EXPECT_FALSE(record.Add(L"")) << "no device id, no entry";
  EXPECT_FALSE(record.Add(std::wstring(600, L'X'))) << "no device id is that long";
  EXPECT_EQ(record.Read(), Ids{kWireless});
}

TEST_F(AdapterRecord, OnlyAdministratorsAndTheSystemMayChangeIt) {
  ASSERT_TRUE(TRegistryAdapterRecord().Add(kWired));
  UniqueHKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterRecordKey, 0, READ_CONTROL | TRegistryAdapterRecord::View(),
                          key.put()),
            ERROR_SUCCESS);
  DWORD size = 0;
  ASSERT_EQ(RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size), ERROR_INSUFFICIENT_BUFFER);
  std::vector<BYTE> buffer(size);
  ASSERT_EQ(RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, buffer.data(), &size), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(buffer.data(), &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from HKLM\\SOFTWARE";
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  ACL* acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(buffer.data(), &present, &acl, &defaulted));
  ASSERT_TRUE(present && acl);

  BYTE system[SECURITY_MAX_SID_SIZE], administrators[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof(system), administratorsSize = sizeof(administrators);
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize));
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize));
  constexpr ACCESS_MASK kChanges = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                   GENERIC_ALL;
  int writers = 0;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, i, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !(allowed->Mask & kChanges)) continue;
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    EXPECT_TRUE(EqualSid(sid, system) || EqualSid(sid, administrators)) << "ACE " << i << " lets others write";
    ++writers;
  }
  EXPECT_EQ(writers, 2);
}

TEST_F(AdapterRecord, TheBookkeepingOverTheRealRecordRecordsFirstAndRepairsWhatAnEarlierProcessLeft) {
  RecordingMachine machine;
  machine.states = {{kWired, TAdapterState::Enabled}, {kWireless, TAdapterState::Enabled}};
  machine.droppable = {kWired, kWireless};
  {
    TRegistryAdapterRecord record;
    TAdapterKeeper(machine, record, [](std::uint32_t) {}).Drop();
  }
  EXPECT_TRUE(machine.disabledUnrecorded.empty()) << "each adapter is in the registry before it is disabled";
  // The process ends here. Meanwhile an adapter it did not drop is recorded as gone.
  ASSERT_TRUE(TRegistryAdapterRecord().Add(kUnplugged));
  machine.log.clear();

  TRegistryAdapterRecord record;
  TAdapterKeeper(machine, record, [](std::uint32_t) {}).Restore();
  EXPECT_EQ(Sorted(machine.log), Sorted({L"enable " + kWired, L"enable " + kWireless}));
  EXPECT_EQ(record.Read(), Ids{kUnplugged}) << "kept until it is back";
}

TEST_F(AdapterRecord, AFreshLoadOfTheLibraryAndEveryConnectRepairWhatTheRecordHolds) {
  // Under Wine the library sees the adapters that Wine reports; one that is up leaves the record
  // at once, one that is not present stays.
  const Ids present = PresentAdapters();
  if (present.empty()) GTEST_SKIP() << "Wine reports no connected adapter on a hardware bus here";
  for (const std::wstring& id : present) ASSERT_TRUE(TRegistryAdapterRecord().Add(id));
  ASSERT_TRUE(TRegistryAdapterRecord().Add(kUnplugged));

  // A copy under another name is a module of its own, so loading it runs a load's repair; the
  // library the tests link is loaded already.
  const std::wstring copy = driver::BinDir() + L"\\NetworkControlRepairCopy.dll";
  ASSERT_TRUE(CopyFileW((driver::BinDir() + L"\\NetworkControl.dll").c_str(), copy.c_str(), FALSE));
  const HMODULE library = LoadLibraryW(copy.c_str());
  ASSERT_NE(library, nullptr) << GetLastError();
  EXPECT_TRUE(driver::WaitUntil([] { return TRegistryAdapterRecord().Read() == Ids{kUnplugged}; },
                                std::chrono::milliseconds(kConnectCallBoundMs)))
      << "left: " << testing::PrintToString(TRegistryAdapterRecord().Read());

  const auto connect = reinterpret_cast<ConnectFunction>(reinterpret_cast<void*>(GetProcAddress(library, "Connect")));
  ASSERT_NE(connect, nullptr);
  ASSERT_TRUE(TRegistryAdapterRecord().Add(present.front()));
  EXPECT_EQ(connect(-1), 1);
  EXPECT_EQ(TRegistryAdapterRecord().Read(), Ids{kUnplugged});
  EXPECT_TRUE(FreeLibrary(library));
  // The repair thread may still hold its own reference for a moment.
  driver::WaitUntil([&] { return DeleteFileW(copy.c_str()) != FALSE; }, 10s);
}

TEST_F(AdapterRecord, TheLibraryTouchesTheRecordOnlyWhileItHoldsTheMutexOfEveryProcess) {
  const Ids present = PresentAdapters();
  if (present.empty()) GTEST_SKIP() << "Wine reports no connected adapter on a hardware bus here";
  ASSERT_TRUE(TRegistryAdapterRecord().Add(present.front()));
  // Held here as a program still restoring would hold it.
  UniqueHandle mutex(CreateMutexW(nullptr, TRUE, kRecordMutexName));
  ASSERT_TRUE(mutex);
  std::thread restore([] { Connect(-1); });
  std::this_thread::sleep_for(2s);
  EXPECT_EQ(TRegistryAdapterRecord().Read(), Ids{present.front()}) << "changed while another held it";
  ReleaseMutex(mutex.get());
  restore.join();
  EXPECT_TRUE(TRegistryAdapterRecord().Read().empty());
}

TEST_F(AdapterRecord, TheLibraryLoadsComAndSetupApiAndStartsItsRepairOnlyWhenItHasAdaptersToBringBack) {
  // The probe's exit code: one bit for each library of the work it finds loaded, one for a thread
  // beside the call's own worker, and its own failures (a library of the work there before the
  // load, the load or the call failed).
  constexpr DWORD kOle32 = 1, kOleAut32 = 2, kSetupApi = 4, kProbeFailed = 8 | 16, kMoreThreads = 32;
  struct Case {
    const char* what;
    bool recorded;
    DWORD looked;  // the bits that this case decides
    DWORD loaded;
  };
  const Case cases[] = {
      {"an empty record: the load starts no repair, and the call has nothing to do", false,
       kOle32 | kOleAut32 | kSetupApi | kMoreThreads, 0},
      // Wine answers as a system of Vista or later, so the work goes through WMI, whose provider
      // may load SetupAPI itself.
      {"an adapter to bring back: the load's repair thread", true, kOle32 | kOleAut32 | kMoreThreads,
       kOle32 | kOleAut32 | kMoreThreads},
  };
  for (const Case& c : cases) {
    ASSERT_NO_FATAL_FAILURE(ClearRecord());
    if (c.recorded) {
      ASSERT_TRUE(TRegistryAdapterRecord().Add(kUnplugged));
    }
    const std::wstring probe = driver::BinDir() + L"\\library_load_probe.exe";
    std::wstring commandLine = L"\"" + probe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << GetLastError();
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 2 * kConnectCallBoundMs), WAIT_OBJECT_0) << c.what;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode & (c.looked | kProbeFailed), c.loaded) << c.what << ": exit code " << exitCode;
  }
}
