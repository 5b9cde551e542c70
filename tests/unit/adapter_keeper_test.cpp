// NetworkControl.dll's bookkeeping against a simulated machine and an in-memory record: what
// it drops, what it brings back, and what survives failures, overlaps and a process that died.

#include "adapter_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using Ids = std::vector<std::wstring>;

struct MemoryRecord : IAdapterRecord {
  Ids entries;
  bool addsFail = false;
  Ids Read() override { return entries; }
  bool Add(const std::wstring& id) override {
    if (addsFail) return false;
    if (std::find(entries.begin(), entries.end(), id) == entries.end()) entries.push_back(id);
    return true;
  }
  void Remove(const std::wstring& id) override { std::erase(entries, id); }
  bool Holds(const std::wstring& id) const { return std::find(entries.begin(), entries.end(), id) != entries.end(); }
};

struct Adapter {
  TAdapterFacts facts;  // `connected` here means a cable or a network; the state decides the rest
  TAdapterState state = TAdapterState::Enabled;
  int failingEnables = 0;      // enables that report failure before one succeeds
  int enablesNotTaking = 0;    // enables that report success while the adapter stays disabled
  bool disableFails = false;
};

// The machine's adapters. Every change is logged, and a disable of an adapter the record does
// not hold at that moment is a fault.
struct Machine : IAdapterOperations {
  std::map<std::wstring, Adapter> adapters;
  const MemoryRecord* record = nullptr;
  Ids log;
  Ids disabledUnrecorded;

  Ids ListDroppable() override {
    Ids ids;
    for (const auto& [id, adapter] : adapters) {
      if (adapter.state != TAdapterState::Enabled) continue;
      if (IsDroppableAdapter(adapter.facts)) ids.push_back(id);
    }
    return ids;
  }
  bool Disable(const std::wstring& id) override {
    log.push_back(L"disable " + id);
    if (record && !record->Holds(id)) disabledUnrecorded.push_back(id);
    Adapter& adapter = adapters.at(id);
    if (adapter.disableFails) return false;
    adapter.state = TAdapterState::Disabled;
    return true;
  }
  bool Enable(const std::wstring& id) override {
    log.push_back(L"enable " + id);
    Adapter& adapter = adapters.at(id);
    if (adapter.failingEnables > 0) {
      --adapter.failingEnables;
      return false;
    }
    if (adapter.enablesNotTaking > 0) {
      --adapter.enablesNotTaking;
      return true;
    }
    adapter.state = TAdapterState::Enabled;
    return true;
  }
  TAdapterState State(const std::wstring& id) override {
    const auto it = adapters.find(id);
    return it == adapters.end() ? TAdapterState::Absent : it->second.state;
  }
};

const std::wstring kWired = L"PCI\\VEN_8086&DEV_100E\\3&267A616A&1&18";
const std::wstring kWireless = L"USB\\VID_0BDA&PID_8179\\00E04C0001";
const std::wstring kNoCable = L"PCI\\VEN_10EC&DEV_8168\\4&1A2B3C&0&00E5";
const std::wstring kUserDisabled = L"PCI\\VEN_14E4&DEV_1677\\4&99&0&00E1";
const std::wstring kSwitch = L"ROOT\\VMS_MP\\0000";

// Two connected adapters it drops, and three it must leave alone.
Machine TypicalMachine() {
  Machine machine;
  machine.adapters[kWired] = {{kWired, L"Intel(R) PRO/1000 MT", L"Ethernet", true}};
  machine.adapters[kWireless] = {{kWireless, L"Realtek RTL8188CUS Wireless LAN", L"Wi-Fi", true}};
  machine.adapters[kNoCable] = {{kNoCable, L"Realtek PCIe GbE", L"Ethernet 2", false}};
  machine.adapters[kUserDisabled] = {{kUserDisabled, L"Broadcom NetXtreme", L"Ethernet 3", true},
                                     TAdapterState::Disabled};
  machine.adapters[kSwitch] = {{kSwitch, L"Hyper-V Virtual Ethernet Adapter", L"vEthernet (Default Switch)", true}};
  return machine;
}

struct Pauses {
  std::uint32_t total = 0;
  auto Function() {
    return [this](std::uint32_t milliseconds) { total += milliseconds; };
  }
};

void ExpectOnlyOursTouchedAndAllBack(const Machine& machine, const MemoryRecord& record) {
  EXPECT_TRUE(record.entries.empty());
  EXPECT_TRUE(machine.disabledUnrecorded.empty());
  for (const auto& [id, adapter] : machine.adapters) {
    EXPECT_EQ(adapter.state, id == kUserDisabled ? TAdapterState::Disabled : TAdapterState::Enabled);
    if (id == kWired || id == kWireless) continue;
    const std::wstring suffix = L" " + id;
    EXPECT_EQ(std::count_if(machine.log.begin(), machine.log.end(),
                            [&](const std::wstring& entry) { return entry.ends_with(suffix); }),
              0)
        << "touched " << testing::PrintToString(id);
  }
}

}  // namespace

TEST(AdapterRule, PicksConnectedAdaptersOnAHardwareBusThatAreNoVirtualSwitch) {
  struct Case {
    TAdapterFacts facts;
    bool dropped;
  };
  const Case cases[] = {
      {{L"PCI\\VEN_8086&DEV_100E\\3&2&1&18", L"Intel(R) PRO/1000", L"Ethernet", true}, true},
      {{L"usb\\vid_0bda&pid_8179\\1", L"Realtek Wireless LAN", L"Wi-Fi", true}, true},
      {{L"PCMCIA\\3COM-3C589\\1", L"3Com EtherLink III", L"", true}, true},
      {{L"SD\\VID_02D0&PID_4329\\1", L"Broadcom SDIO Wireless", L"Wi-Fi", true}, true},
      {{L"PCI\\VEN_8086&DEV_100E\\3&2&1&18", L"Intel(R) PRO/1000", L"Ethernet", false}, false},
      {{L"ROOT\\VMS_MP\\0000", L"Hyper-V Virtual Ethernet Adapter", L"vEthernet (WSL)", true}, false},
      {{L"PCI\\VEN_8086&DEV_100E\\3&2&1&18", L"Hyper-V Virtual Ethernet Adapter #2", L"Ethernet", true}, false},
      {{L"PCI\\VEN_8086&DEV_100E\\3&2&1&18", L"Intel(R) PRO/1000", L"vEthernet (External)", true}, false},
      {{L"USB\\VID_0BDA&PID_8179\\1", L"Realtek", L"Ethernet (WSL)", true}, false},
      {{L"VMBUS\\{F8615163-DF3E-46C5-913F-F2D2F965ED0E}\\1", L"Microsoft Hyper-V Network Adapter", L"Ethernet", true},
       false},
      {{L"ROOT\\NET\\0000", L"TAP-Windows Adapter V9", L"VPN", true}, false},
      {{L"SWD\\MSRRAS\\MS_NDISWANIP", L"WAN Miniport (IP)", L"", true}, false},
      {{L"{5D624F94-8850-40C3-A3FA-A4FD2080BAF3}\\VWIFIMP_WFD\\1", L"Wi-Fi Direct Virtual Adapter", L"", true}, false},
      {{L"PCIX", L"", L"", true}, false},
      {{L"", L"", L"", true}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsDroppableAdapter(c.facts), c.dropped) << testing::PrintToString(c.facts.deviceId) << " "
                                                      << testing::PrintToString(c.facts.connectionName);
  }
}

TEST(AdapterKeeper, DropsWhatTheRulePicksRecordingEachFirstAndRestoresExactlyThose) {
  Machine machine = TypicalMachine();
  MemoryRecord record;
  machine.record = &record;
  Pauses pauses;
  TAdapterKeeper keeper(machine, record, pauses.Function());

  keeper.Drop();
  EXPECT_EQ(machine.log, (Ids{L"disable " + kWired, L"disable " + kWireless}));
  EXPECT_EQ(record.entries, (Ids{kWired, kWireless}));
  EXPECT_EQ(machine.adapters[kWired].state, TAdapterState::Disabled);

  keeper.Restore();
  EXPECT_EQ(machine.log, (Ids{L"disable " + kWired, L"disable " + kWireless, L"enable " + kWired,
                              L"enable " + kWireless}));
  ExpectOnlyOursTouchedAndAllBack(machine, record);
  EXPECT_EQ(pauses.total, 0u) << "every change took at once";

  // Nothing recorded: a Restore changes nothing.
  keeper.Restore();
  EXPECT_EQ(machine.log.size(), 4u);
}

TEST(AdapterKeeper, OverlappingWorkersEndWithExactlyTheirAdaptersBack) {
  // Each letter is a worker, 0 its Connect(0) and 1 its Connect(-1); a second worker starts
  // while the first one's calls are still to come, after a timed-out wait.
  const std::vector<std::wstring> orders = {L"A0 A1 B0 B1", L"A0 B0 A1 B1", L"A0 B0 B1 A1", L"A0 B0 A1 C0 B1 C1"};
  for (const std::wstring& order : orders) {
    Machine machine = TypicalMachine();
    MemoryRecord record;
    machine.record = &record;
    Pauses pauses;
    std::map<wchar_t, TAdapterKeeper> workers;
    for (std::size_t i = 0; i < order.size(); i += 3) {
      TAdapterKeeper& worker = workers.try_emplace(order[i], machine, record, pauses.Function()).first->second;
      order[i + 1] == L'0' ? worker.Drop() : worker.Restore();
    }
    SCOPED_TRACE(testing::PrintToString(order));
    ExpectOnlyOursTouchedAndAllBack(machine, record);
    for (const std::wstring& id : {kWired, kWireless}) {
      EXPECT_EQ(std::count(machine.log.begin(), machine.log.end(), L"enable " + id),
                std::count(machine.log.begin(), machine.log.end(), L"disable " + id))
          << "each drop is undone once";
    }
  }
}

TEST(AdapterKeeper, AProcessThatDiedBetweenDropAndRestoreIsRepairedByTheNextLoad) {
  Machine machine = TypicalMachine();
  MemoryRecord record;  // outlives the process, as the registry does
  machine.record = &record;
  Pauses pauses;
  TAdapterKeeper(machine, record, pauses.Function()).Drop();
  ASSERT_EQ(machine.adapters[kWired].state, TAdapterState::Disabled);

  // The next process: only what the record holds tells it what was dropped.
  TAdapterKeeper(machine, record, pauses.Function()).Restore();
  ExpectOnlyOursTouchedAndAllBack(machine, record);
}

TEST(AdapterKeeper, AnAdapterLeavesTheRecordOnlyOnceItIsSeenEnabled) {
  struct Case {
    const char* name;
    void (*prepare)(Machine&, MemoryRecord&);
    // After the first Restore: whether the wired adapter is still recorded, and the pauses spent.
    bool recordedAfterFirst;
    std::uint32_t pausedMs;
  };
  const Case cases[] = {
      {"an enable that fails is tried again by the next call",
       [](Machine& m, MemoryRecord&) { m.adapters[kWired].failingEnables = 1; }, true, 0},
      {"an enable that reports success but does not take is waited for within the bound, then kept",
       [](Machine& m, MemoryRecord&) { m.adapters[kWired].enablesNotTaking = 1; }, true,
       TAdapterKeeper::kStateChangeBoundMs},
      {"an adapter that is gone stays recorded and is enabled once it is back",
       [](Machine& m, MemoryRecord&) { m.adapters.erase(kWired); }, true, 0},
      {"an adapter already enabled by someone else leaves the record without an enable",
       [](Machine& m, MemoryRecord&) { m.adapters[kWired].state = TAdapterState::Enabled; }, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine = TypicalMachine();
    MemoryRecord record;
    machine.record = &record;
    Pauses pauses;
    TAdapterKeeper keeper(machine, record, pauses.Function());
    keeper.Drop();
    const Adapter wired = machine.adapters[kWired];
    c.prepare(machine, record);
    keeper.Restore();
    EXPECT_EQ(record.Holds(kWired), c.recordedAfterFirst);
    EXPECT_FALSE(record.Holds(kWireless));
    EXPECT_EQ(pauses.total, c.pausedMs);
    if (!machine.adapters.contains(kWired)) machine.adapters[kWired] = wired;  // plugged in again
    keeper.Restore();
    ExpectOnlyOursTouchedAndAllBack(machine, record);
    if (!c.recordedAfterFirst) EXPECT_EQ(std::count(machine.log.begin(), machine.log.end(), L"enable " + kWired), 0);
  }
}

TEST(AdapterKeeper, AnAdapterThatCouldNotBeRecordedOrDisabledIsLeftAlone) {
  {
    SCOPED_TRACE("the record takes nothing: nothing is disabled");
    Machine machine = TypicalMachine();
    MemoryRecord record;
    record.addsFail = true;
    Pauses pauses;
    TAdapterKeeper keeper(machine, record, pauses.Function());
    keeper.Drop();
    EXPECT_TRUE(machine.log.empty());
    EXPECT_EQ(machine.adapters[kWired].state, TAdapterState::Enabled);
  }
  {
    SCOPED_TRACE("a disable that fails leaves no entry and no enable behind");
    Machine machine = TypicalMachine();
    machine.adapters[kWired].disableFails = true;
    MemoryRecord record;
    machine.record = &record;
    Pauses pauses;
    TAdapterKeeper keeper(machine, record, pauses.Function());
    keeper.Drop();
    EXPECT_EQ(record.entries, Ids{kWireless});
    keeper.Restore();
    EXPECT_EQ(std::count(machine.log.begin(), machine.log.end(), L"enable " + kWired), 0);
    EXPECT_TRUE(record.entries.empty());
  }
}
