// The tuning sets against the real machine-wide keys of the test prefix, each put back afterwards.

#include "common/types.h"
#include "common/unique_handle.h"
#include "registry_fixtures.h"
#include "tuning/speed_up.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <functional>
#include <sstream>

using namespace regtest;

namespace {

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const std::wstring kMsmq = L"SOFTWARE\\Microsoft\\MSMQ";
const std::wstring kMsmqParameters = kMsmq + L"\\Parameters";
const std::wstring kInterfaces = L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
const std::wstring kDnscache = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache";
const std::wstring kDnscacheParameters = kDnscache + L"\\Parameters";
const std::wstring kPcHealth = L"SOFTWARE\\Microsoft\\PCHealth";
const std::wstring kDialogComments = kPcHealth + L"\\Clients\\Dialog Comments";
const std::wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
struct DnsValue {
  const wchar_t* name;
  DWORD data;
};
const DnsValue kDnsValues[] = {{L"CachehHashTableBucketSize", 1},
                               {L"CachehHashTableSize", 384},
                               {L"MaxCacheEntryTtlLimit", 64000},
                               {L"MaxSOACacheEntryTtlLimit", 301}};

class ProbeSpeedUp : public TSpeedUp {
public:
  const TRegistry& Reg() const noexcept { return FReg; }
};

// One write as text, so a whole sequence compares at once and prints readably.
std::wstring Describe(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                      const std::vector<BYTE>& data) {
  std::wostringstream out;
  out << (root == HKEY_LOCAL_MACHINE ? L"HKLM\\" : root == HKEY_CURRENT_USER ? L"HKCU\\" : L"?\\") << path << L" ["
      << name << L"] type " << type << L":";
  for (BYTE b : data) out << L' ' << static_cast<int>(b);
  return out.str();
}

std::vector<std::wstring> Describe(const std::vector<TracingRegistryApi::Write>& writes) {
  std::vector<std::wstring> out;
  for (const auto& w : writes) out.push_back(Describe(w.root, w.path, w.name, w.type, w.data));
  return out;
}

std::wstring DwordWrite(const std::wstring& path, const std::wstring& name, DWORD value) {
  return Describe(kMachine, path, name, REG_DWORD, DwordBytes(value));
}

std::wstring Interface(const std::wstring& name) { return kInterfaces + L"\\" + name; }

// Every test leaves the keys the sets touch as it found them, and every handle closed.
class TuningTest : public ::testing::Test {
protected:
  void TearDown() override {
    EXPECT_EQ(api.Outstanding(), 0u);
    EXPECT_EQ(api.StrayCloses(), 0u);
    EXPECT_EQ(speedUp.Reg().CurrentKey(), nullptr);
  }

  // Replaces whatever interfaces the prefix has with these.
  static void UseInterfaces(std::initializer_list<const wchar_t*> names) {
    DeleteTree(kMachine, kInterfaces);
    CreateRawKey(kMachine, kInterfaces);
    for (const wchar_t* name : names) CreateRawKey(kMachine, Interface(name));
  }

  static std::vector<std::optional<KeyTree>> MachineState() {
    return {ReadTree(kMachine, kMsmq), ReadTree(kMachine, kInterfaces), ReadTree(kMachine, kDnscache),
            ReadTree(kMachine, kPcHealth)};
  }

  KeySnapshot msmq{kMachine, kMsmq};
  KeySnapshot interfaces{kMachine, kInterfaces};
  KeySnapshot dnscache{kMachine, kDnscache};
  KeySnapshot pcHealth{kMachine, kPcHealth};
  KeySnapshot run{HKEY_CURRENT_USER, kRun};
  TracingRegistryApi api;
  ScopedRegistryApi scope{api};
  ProbeSpeedUp speedUp;
};

TEST_F(TuningTest, GameSetOnWritesNoDelayFirstThenEachInterfaceInEnumerationOrder) {
  DeleteTree(kMachine, kMsmq);
  UseInterfaces({L"{zeta}", L"{alpha}", L"{Mid}"});

  SwitchGameSet(speedUp, TStateMode::smON);

  std::vector<std::wstring> expected{DwordWrite(kMsmqParameters, L"TCPNoDelay", 1)};
  for (const std::wstring& name : SubkeyNames(kMachine, kInterfaces))
    expected.push_back(DwordWrite(Interface(name), L"TcpAckFrequency", 1));
  EXPECT_EQ(Describe(api.Writes()), expected);
  EXPECT_EQ(expected.size(), 4u);

  EXPECT_EQ(ValueCount(kMachine, kMsmqParameters), 1u);
  EXPECT_EQ(GetRaw(kMachine, kMsmqParameters, L"TCPNoDelay"), (RawValue{REG_DWORD, DwordBytes(1)}));
  for (const wchar_t* name : {L"{zeta}", L"{alpha}", L"{Mid}"})
    EXPECT_EQ(GetRaw(kMachine, Interface(name), L"TcpAckFrequency"), (RawValue{REG_DWORD, DwordBytes(1)}));
  EXPECT_TRUE(speedUp.CheckGamePing());
}

TEST_F(TuningTest, GameSetOffReachesEveryInterfaceOfTheMomentAndLeavesTheKeys) {
  DeleteTree(kMachine, kMsmq);
  UseInterfaces({L"{one}", L"{two}"});
  SetRawDword(kMachine, Interface(L"{two}"), L"TcpAckFrequency", 3);
  SwitchGameSet(speedUp, TStateMode::smON);
  SetRawDword(kMachine, Interface(L"{added}"), L"TcpAckFrequency", 7);
  SetRawDword(kMachine, Interface(L"{one}"), L"Other", 1);

  SwitchGameSet(speedUp, TStateMode::smOFF);

  EXPECT_TRUE(KeyPresent(kMachine, kMsmqParameters));
  EXPECT_EQ(ValueCount(kMachine, kMsmqParameters), 0u);
  for (const wchar_t* name : {L"{one}", L"{two}", L"{added}"}) {
    EXPECT_TRUE(KeyPresent(kMachine, Interface(name)));
    EXPECT_FALSE(GetRaw(kMachine, Interface(name), L"TcpAckFrequency")) << name;
  }
  EXPECT_TRUE(GetRaw(kMachine, Interface(L"{one}"), L"Other"));
  EXPECT_FALSE(speedUp.CheckGamePing());
}

TEST_F(TuningTest, GameSetWithoutInterfacesKeyIsTheNoDelayValueAlone) {
  DeleteTree(kMachine, kInterfaces);

  SwitchGameSet(speedUp, TStateMode::smON);
  EXPECT_EQ(Describe(api.Writes()), std::vector<std::wstring>{DwordWrite(kMsmqParameters, L"TCPNoDelay", 1)});
  EXPECT_FALSE(KeyPresent(kMachine, kInterfaces));

  SwitchGameSet(speedUp, TStateMode::smOFF);
  EXPECT_FALSE(GetRaw(kMachine, kMsmqParameters, L"TCPNoDelay"));
}

TEST_F(TuningTest, CheckGamePingWantsTheDwordOne) {
  struct CheckCase {
    const char* what;
    std::optional<RawValue> value;
    bool expected;
  };
  const CheckCase cases[] = {
      {"absent", std::nullopt, false},
      {"dword 1", RawValue{REG_DWORD, DwordBytes(1)}, true},
      {"dword 2", RawValue{REG_DWORD, DwordBytes(2)}, false},
      {"dword 0", RawValue{REG_DWORD, DwordBytes(0)}, false},
      {"text 1", RawValue{REG_SZ, TextBytes(L"1")}, false},
      {"binary 1", RawValue{REG_BINARY, DwordBytes(1)}, false},
  };
  for (const CheckCase& c : cases) {
    DeleteTree(kMachine, kMsmq);
    if (c.value) SetRaw(kMachine, kMsmqParameters, L"TCPNoDelay", c.value->type, c.value->data);
    EXPECT_EQ(speedUp.CheckGamePing(), c.expected) << c.what;
  }
}

TEST_F(TuningTest, BrowserSetIsOnWhenTheBucketSizeIsThereWhateverItHolds) {
  struct CheckCase {
    const char* what;
    std::vector<std::pair<const wchar_t*, RawValue>> values;
    bool expected;
  };
  const CheckCase cases[] = {
      {"nothing", {}, false},
      {"dword", {{L"CachehHashTableBucketSize", {REG_DWORD, DwordBytes(1)}}}, true},
      {"other number", {{L"CachehHashTableBucketSize", {REG_DWORD, DwordBytes(77)}}}, true},
      {"text", {{L"CachehHashTableBucketSize", {REG_SZ, TextBytes(L"x")}}}, true},
      {"empty binary", {{L"CachehHashTableBucketSize", {REG_BINARY, {}}}}, true},
      {"only the other three",
       {{L"CachehHashTableSize", {REG_DWORD, DwordBytes(384)}},
        {L"MaxCacheEntryTtlLimit", {REG_DWORD, DwordBytes(64000)}},
        {L"MaxSOACacheEntryTtlLimit", {REG_DWORD, DwordBytes(301)}}},
       false},
  };
  for (const CheckCase& c : cases) {
    DeleteTree(kMachine, kDnscache);
    CreateRawKey(kMachine, kDnscacheParameters);
    for (const auto& [name, value] : c.values) SetRaw(kMachine, kDnscacheParameters, name, value.type, value.data);
    EXPECT_EQ(speedUp.CheckBrowserSpeedUp(), c.expected) << c.what;
  }
}

TEST_F(TuningTest, BrowserSetWritesItsFourValuesInOrderAndRemovesOnlyThem) {
  DeleteTree(kMachine, kDnscache);
  SetRawDword(kMachine, kDnscacheParameters, L"Other", 5);

  speedUp.DoBrowserSpeedUp();
  std::vector<std::wstring> expected;
  for (const DnsValue& value : kDnsValues) {
    expected.push_back(DwordWrite(kDnscacheParameters, value.name, value.data));
    EXPECT_EQ(GetRaw(kMachine, kDnscacheParameters, value.name), (RawValue{REG_DWORD, DwordBytes(value.data)}));
  }
  EXPECT_EQ(Describe(api.Writes()), expected);
  EXPECT_TRUE(speedUp.CheckBrowserSpeedUp());

  speedUp.DelBrowserSpeedUp();
  for (const DnsValue& value : kDnsValues)
    EXPECT_FALSE(GetRaw(kMachine, kDnscacheParameters, value.name)) << value.name;
  EXPECT_TRUE(GetRaw(kMachine, kDnscacheParameters, L"Other"));
  EXPECT_FALSE(speedUp.CheckBrowserSpeedUp());
}

TEST_F(TuningTest, PageLoadingSetWritesItsValuesAndRemovesTheWholeKey) {
  DeleteTree(kMachine, kPcHealth);
  EXPECT_FALSE(speedUp.CheckPageLoadingUp());

  speedUp.DoPageLoadingUp();
  const auto& writes = api.Writes();
  ASSERT_EQ(writes.size(), 3u);
  std::wstring url(reinterpret_cast<const wchar_t*>(writes[0].data.data()), writes[0].data.size() / 2);
  ASSERT_FALSE(url.empty());
  EXPECT_EQ(url.back(), L'\0');
  url.pop_back();
  EXPECT_EQ(Describe(writes), (std::vector<std::wstring>{
                                  Describe(kMachine, kDialogComments, L"Upload URL", REG_SZ, TextBytes(url)),
                                  Describe(kMachine, kDialogComments, L"Upload provider", REG_SZ, TextBytes(L"EMI")),
                                  DwordWrite(kDialogComments, L"Enable", 0),
                              }));
  const std::wstring scheme = L"http://", path = L"/emiupload/uploadserver.dll";
  ASSERT_GT(url.size(), scheme.size() + path.size());
  EXPECT_EQ(url.substr(0, scheme.size()), scheme);
  EXPECT_EQ(url.substr(url.size() - path.size()), path);
  const std::wstring host = url.substr(scheme.size(), url.size() - scheme.size() - path.size());
  EXPECT_EQ(host.find_first_of(L"/ \\"), std::wstring::npos) << "host: " << host;
  EXPECT_TRUE(speedUp.CheckPageLoadingUp());

  SetRawDword(kMachine, kDialogComments, L"Foreign", 1);
  SetRawDword(kMachine, kDialogComments + L"\\Extra\\Deeper", L"x", 1);
  speedUp.DelPageLoadingUp();
  EXPECT_FALSE(KeyPresent(kMachine, kDialogComments));
  EXPECT_TRUE(KeyPresent(kMachine, kPcHealth + L"\\Clients"));
  EXPECT_FALSE(speedUp.CheckPageLoadingUp());
}

TEST_F(TuningTest, WindowStartStoresTheBareExecutablePath) {
  SetRaw(HKEY_CURRENT_USER, kRun, L"Someone else", REG_SZ, TextBytes(L"x.exe"));
  const std::wstring exe = GetExeName();
  ASSERT_GE(exe.size(), 16u);
  EXPECT_EQ(::GetFileAttributesW(exe.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  std::wstring tail = exe.substr(exe.size() - 16);
  for (wchar_t& c : tail) c = static_cast<wchar_t>(std::towlower(c));
  EXPECT_EQ(tail, L"\\win32_tests.exe");

  speedUp.DoWindowStart();
  EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kRun, L"LAGVANE"), (RawValue{REG_SZ, TextBytes(exe)}));
  EXPECT_EQ(exe.find(L'"'), std::wstring::npos);
  EXPECT_TRUE(speedUp.CheckWindowStart());

  speedUp.DelWindowStart();
  EXPECT_FALSE(GetRaw(HKEY_CURRENT_USER, kRun, L"LAGVANE"));
  EXPECT_TRUE(GetRaw(HKEY_CURRENT_USER, kRun, L"Someone else"));
  EXPECT_FALSE(speedUp.CheckWindowStart());
}

// A copy of the probe program in a deep folder with spaces, removed again afterwards. Wine starts
// no program from a path longer than MAX_PATH, so the path stays just below it.
class ProbeCopy {
public:
  explicit ProbeCopy(const std::wstring& original) {
    const std::wstring file = L"\\window start probe.exe";
    constexpr std::size_t kLength = MAX_PATH - 10;
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring dir = std::wstring(temp, length) + L"lagvane probe " + std::to_wstring(::GetCurrentProcessId());
    if (!MakeFolder(dir)) return;
    for (wchar_t letter = L'a'; dir.size() + file.size() + 4 <= kLength; ++letter) {
      const std::size_t room = kLength - dir.size() - file.size() - 3;
      dir += L"\\" + std::wstring(std::min<std::size_t>(room, 80), letter) + L" x";
      if (!MakeFolder(dir)) return;
    }
    path_ = dir + file;
    if (!::CopyFileW(original.c_str(), path_.c_str(), TRUE))
      ADD_FAILURE() << "cannot copy the probe: error " << ::GetLastError();
  }
  ProbeCopy(const ProbeCopy&) = delete;
  ProbeCopy& operator=(const ProbeCopy&) = delete;
  ~ProbeCopy() {
    ::DeleteFileW(path_.c_str());
    for (auto dir = dirs_.rbegin(); dir != dirs_.rend(); ++dir) ::RemoveDirectoryW(dir->c_str());
  }
  const std::wstring& Path() const noexcept { return path_; }

private:
  bool MakeFolder(const std::wstring& dir) {
    if (!::CreateDirectoryW(dir.c_str(), nullptr)) {
      ADD_FAILURE() << "cannot create a folder: error " << ::GetLastError();
      return false;
    }
    dirs_.push_back(dir);
    return true;
  }

  std::vector<std::wstring> dirs_;
  std::wstring path_;
};

TEST_F(TuningTest, WindowStartStoresADeepPathWithSpacesWholeAndUnquoted) {
  const std::wstring self = GetExeName();
  ProbeCopy probe(self.substr(0, self.find_last_of(L'\\') + 1) + L"window_start_probe.exe");
  ASSERT_GT(probe.Path().size(), 200u);

  std::wstring commandLine = L"\"" + probe.Path() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(probe.Path().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
      << "error " << ::GetLastError();
  UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
  ASSERT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);

  EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kRun, L"LAGVANE"), (RawValue{REG_SZ, TextBytes(probe.Path())}));
}

TEST_F(TuningTest, WithoutAdministratorRightsOnlyTheUsersOwnSetChanges) {
  struct MachineCase {
    const char* what;
    std::function<void()> arrange;
    bool gamePing, browserSpeedUp, pageLoadingUp;
  };
  const MachineCase cases[] = {
      {"every set left on by an administrator",
       [] {
         UseInterfaces({L"{if}"});
         SetRawDword(kMachine, kMsmqParameters, L"TCPNoDelay", 1);
         SetRawDword(kMachine, Interface(L"{if}"), L"TcpAckFrequency", 1);
         for (const DnsValue& value : kDnsValues) SetRawDword(kMachine, kDnscacheParameters, value.name, value.data);
         SetRaw(kMachine, kDialogComments, L"Upload provider", REG_SZ, TextBytes(L"EMI"));
       },
       false, false, true},
      {"nothing there",
       [] {
         UseInterfaces({L"{if}"});
         DeleteTree(kMachine, kMsmq);
         DeleteTree(kMachine, kDnscache);
         DeleteTree(kMachine, kPcHealth);
       },
       false, false, false},
  };
  for (const MachineCase& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    const auto before = MachineState();
    DenyingRegistryApi user;
    ScopedRegistryApi asUser(user);

    EXPECT_EQ(speedUp.CheckGamePing(), c.gamePing);
    EXPECT_EQ(speedUp.CheckBrowserSpeedUp(), c.browserSpeedUp);
    EXPECT_EQ(speedUp.CheckPageLoadingUp(), c.pageLoadingUp);
    EXPECT_FALSE(SwitchGameSet(speedUp, TStateMode::smON));
    SwitchGameSet(speedUp, TStateMode::smOFF);
    EXPECT_FALSE(speedUp.DoBrowserSpeedUp());
    speedUp.DelBrowserSpeedUp();
    speedUp.DoPageLoadingUp();
    speedUp.DelPageLoadingUp();
    EXPECT_EQ(MachineState(), before);
    EXPECT_GT(user.Denied(), 0u);

    speedUp.DoWindowStart();
    EXPECT_TRUE(speedUp.CheckWindowStart());
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kRun, L"LAGVANE"), (RawValue{REG_SZ, TextBytes(GetExeName())}));
    speedUp.DelWindowStart();
    EXPECT_FALSE(speedUp.CheckWindowStart());
    EXPECT_EQ(user.Outstanding(), 0u);
  }
}

TEST_F(TuningTest, NoHandleStaysOpenAfterAnySetOperation) {
  UseInterfaces({L"{one}", L"{two}"});
  struct Operation {
    const char* what;
    std::function<void()> run;
  };
  const Operation operations[] = {
      {"game on", [&] { SwitchGameSet(speedUp, TStateMode::smON); }},
      {"game check", [&] { speedUp.CheckGamePing(); }},
      {"game off", [&] { SwitchGameSet(speedUp, TStateMode::smOFF); }},
      {"game check when off", [&] { speedUp.CheckGamePing(); }},
      {"browser on", [&] { speedUp.DoBrowserSpeedUp(); }},
      {"browser check", [&] { speedUp.CheckBrowserSpeedUp(); }},
      {"browser off", [&] { speedUp.DelBrowserSpeedUp(); }},
      {"page loading on", [&] { speedUp.DoPageLoadingUp(); }},
      {"page loading check", [&] { speedUp.CheckPageLoadingUp(); }},
      {"page loading off", [&] { speedUp.DelPageLoadingUp(); }},
      {"page loading off again", [&] { speedUp.DelPageLoadingUp(); }},
      {"window start on", [&] { speedUp.DoWindowStart(); }},
      {"window start check", [&] { speedUp.CheckWindowStart(); }},
      {"window start off", [&] { speedUp.DelWindowStart(); }},
  };
  DenyingRegistryApi user;
  for (TracingRegistryApi* tracer : {&api, static_cast<TracingRegistryApi*>(&user)}) {
    ScopedRegistryApi in(*tracer);
    for (const Operation& operation : operations) {
      operation.run();
      EXPECT_EQ(tracer->Outstanding(), 0u) << operation.what;
      EXPECT_EQ(speedUp.Reg().CurrentKey(), nullptr) << operation.what;
    }
    EXPECT_GT(tracer->Opened(), 0u);
    EXPECT_EQ(tracer->StrayCloses(), 0u);
  }
}

// Refuses the value writes that `refused` picks, as an access list on some keys or values would,
// and passes everything else through.
class RefusingSomeWrites : public TracingRegistryApi {
public:
  explicit RefusingSomeWrites(std::function<bool(const std::wstring& path, const std::wstring& name)> refused)
      : refused_(std::move(refused)) {}
  LSTATUS SetValueEx(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) override {
    if (refused_(Where(key).path, name ? name : L"")) return ERROR_ACCESS_DENIED;
    return TracingRegistryApi::SetValueEx(key, name, type, data, size);
  }

private:
  std::function<bool(const std::wstring&, const std::wstring&)> refused_;
};

// Switching a set on says whether it could be written; one that cannot be written whole takes
// back the values it wrote and leaves those it never reached (the keys it created stay, as
// switching off leaves them).
TEST_F(TuningTest, ASetThatCannotBeWrittenWholeSaysSoAndLeavesTheMachineAsItWas) {
  struct Case {
    const char* what;
    std::function<bool(const std::wstring&, const std::wstring&)> refused;
    bool gameWritten, browserWritten;
  };
  const auto contains = [](const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; };
  const Case cases[] = {
      {"nothing refused", [](const std::wstring&, const std::wstring&) { return false; }, true, true},
      {"every machine-wide write refused", [](const std::wstring&, const std::wstring&) { return true; }, false, false},
      {"the second interface refused", [&](const std::wstring& path, const std::wstring&) { return contains(path, L"{b}"); },
       false, true},
      {"TCPNoDelay refused", [&](const std::wstring&, const std::wstring& name) { return name == L"TCPNoDelay"; }, false,
       true},
      {"the third cache value refused",
       [&](const std::wstring&, const std::wstring& name) { return name == L"MaxCacheEntryTtlLimit"; }, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteTree(kMachine, kMsmq);
    DeleteTree(kMachine, kDnscache);
    UseInterfaces({L"{a}", L"{b}", L"{c}"});
    // Set by the user before: untouched by a switch-on that fails.
    SetRawDword(kMachine, Interface(L"{c}"), L"TcpAckFrequency", 2);
    RefusingSomeWrites seam(c.refused);
    ScopedRegistryApi in(seam);

    EXPECT_EQ(SwitchGameSet(speedUp, TStateMode::smON), c.gameWritten);
    EXPECT_EQ(speedUp.DoBrowserSpeedUp(), c.browserWritten);
    if (!c.gameWritten) {
      EXPECT_FALSE(GetRaw(kMachine, kMsmqParameters, L"TCPNoDelay"));
      EXPECT_FALSE(GetRaw(kMachine, Interface(L"{a}"), L"TcpAckFrequency"));
      EXPECT_EQ(GetRaw(kMachine, Interface(L"{c}"), L"TcpAckFrequency"), (RawValue{REG_DWORD, DwordBytes(2)}));
    } else {
      EXPECT_TRUE(speedUp.CheckGamePing());
    }
    if (!c.browserWritten) {
      for (const DnsValue& value : kDnsValues) EXPECT_FALSE(GetRaw(kMachine, kDnscacheParameters, value.name));
    } else {
      EXPECT_TRUE(speedUp.CheckBrowserSpeedUp());
    }
    // Removing stays silent and answers true whatever it could remove.
    EXPECT_TRUE(SwitchGameSet(speedUp, TStateMode::smOFF));
    speedUp.DelBrowserSpeedUp();
    EXPECT_EQ(seam.Outstanding(), 0u);
  }
}

// The shipped program is 32-bit and passes no view flag. On 64-bit Windows its game set must be
// where the 64-bit system reads it: the MSMQ key is shared between the two views and SYSTEM is
// never redirected. Checked from whichever side this build is, by reading the other view.
TEST_F(TuningTest, TheGameSetIsSeenFromTheOtherRegistryView) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const bool is64Bit = sizeof(void*) == 8;
  if (!is64Bit && !wow64) GTEST_SKIP() << "32-bit Windows has one registry view";
  const REGSAM otherView = is64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  UseInterfaces({L"{view}"});
  SwitchGameSet(speedUp, TStateMode::smON);

  const auto readOther = [&](const std::wstring& path, const wchar_t* name) -> std::optional<DWORD> {
    HKEY key = nullptr;
    if (RegOpenKeyExW(kMachine, path.c_str(), 0, KEY_QUERY_VALUE | otherView, &key) != ERROR_SUCCESS) return std::nullopt;
    const UniqueHKey owner(key);
    DWORD type = 0, data = 0, size = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
      return std::nullopt;
    }
    return data;
  };
  EXPECT_EQ(readOther(kMsmqParameters, L"TCPNoDelay"), std::optional<DWORD>(1));
  EXPECT_EQ(readOther(Interface(L"{view}"), L"TcpAckFrequency"), std::optional<DWORD>(1));
  SwitchGameSet(speedUp, TStateMode::smOFF);
  EXPECT_EQ(readOther(kMsmqParameters, L"TCPNoDelay"), std::nullopt);
}

// The main window keeps a reference to the instance, so a second CreateInstance must not free it.
TEST_F(TuningTest, CreatingTheInstanceAgainKeepsTheOneHeld) {
  TSpeedUp& held = TSpeedUp::GetInstance();
  TSpeedUp::CreateInstance();
  EXPECT_EQ(&TSpeedUp::GetInstance(), &held);
  TSpeedUp::ReleaseInstance();
}

}  // namespace
