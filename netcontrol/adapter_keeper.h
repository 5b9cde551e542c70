#pragma once

// NetworkControl.dll's bookkeeping, apart from the system: which adapters it drops, the record
// of what it has dropped that outlives the process, and bringing back what that record holds.
// The system's side is two small interfaces, so the rules run natively in the tests.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// What the adapter rule looks at, read the same way on every path.
struct TAdapterFacts {
  std::wstring deviceId;        // the Plug and Play device instance id, e.g. "PCI\VEN_8086&..."
  std::wstring description;     // the adapter's name, e.g. "Hyper-V Virtual Ethernet Adapter"
  std::wstring connectionName;  // the connection's name, e.g. "vEthernet (WSL)"; may be empty
  bool connected = false;
};

// The adapters the library drops: connected, on a hardware bus, and not a virtual switch.
bool IsDroppableAdapter(const TAdapterFacts& adapter);

enum class TAdapterState { Enabled, Disabled, Absent };

// The four operations on the machine's adapters. Each names an adapter by its device id.
class IAdapterOperations {
public:
  virtual ~IAdapterOperations() = default;
  // The device ids of the adapters the rule picks, as the machine is now.
  virtual std::vector<std::wstring> ListDroppable() = 0;
  // True when the change was made (a change that needs a restart does not count).
  virtual bool Disable(const std::wstring& deviceId) = 0;
  virtual bool Enable(const std::wstring& deviceId) = 0;
  virtual TAdapterState State(const std::wstring& deviceId) = 0;
};

// The adapters dropped and not yet seen enabled again, kept where the process's end, a crash or
// a reboot cannot lose them.
class IAdapterRecord {
public:
  virtual ~IAdapterRecord() = default;
  virtual std::vector<std::wstring> Read() = 0;
  // True once the entry is stored for good; adding one that is there already is no change.
  virtual bool Add(const std::wstring& deviceId) = 0;
  virtual void Remove(const std::wstring& deviceId) = 0;
};

class TAdapterKeeper {
public:
  // How long one adapter may take to reach its new state, and how often it is looked at.
  static constexpr std::uint32_t kStateChangeBoundMs = 15000;
  static constexpr std::uint32_t kPollIntervalMs = 250;

  // `pause` sleeps for the given milliseconds; the tests pass one that returns at once.
  TAdapterKeeper(IAdapterOperations& adapters, IAdapterRecord& record, std::function<void(std::uint32_t)> pause)
      : adapters_(adapters), record_(record), pause_(std::move(pause)) {}

  // Disables the adapters the rule picks, each recorded before it is touched.
  void Drop();
  // Enables what the record holds; an entry leaves it only once its adapter is seen enabled.
  void Restore();

private:
  bool WaitForState(const std::wstring& deviceId, TAdapterState wanted);

  IAdapterOperations& adapters_;
  IAdapterRecord& record_;
  std::function<void(std::uint32_t)> pause_;
};
