#include "adapter_keeper.h"

#include <algorithm>

namespace {

std::wstring Upper(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  });
  return text;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

}  // namespace

bool IsDroppableAdapter(const TAdapterFacts& adapter) {
  if (!adapter.connected) return false;
  // The enumerator, the device id's first part, names the bus. Software adapters (ROOT\, SWD\,
  // VMBUS\, {guid}\ of VPN and virtual-switch drivers) sit on none of these.
  static const wchar_t* const kHardwareBuses[] = {L"PCI\\", L"USB\\", L"PCMCIA\\", L"SD\\", L"ISAPNP\\"};
  const std::wstring id = Upper(adapter.deviceId);
  if (std::none_of(std::begin(kHardwareBuses), std::end(kHardwareBuses),
                   [&](const wchar_t* bus) { return StartsWith(id, bus); })) {
    return false;
  }
  // A virtual switch over a physical adapter: Hyper-V's and WSL's "vEthernet".
  const std::wstring description = Upper(adapter.description);
  const std::wstring connection = Upper(adapter.connectionName);
  return !StartsWith(connection, L"VETHERNET") && !Contains(description, L"HYPER-V VIRTUAL") &&
         !Contains(connection, L"(WSL") && !Contains(description, L"WSL");
}

void TAdapterKeeper::Drop() {
  for (const std::wstring& id : adapters_.ListDroppable()) {
    // Never touch an adapter the record could not keep: nothing would bring it back.
    if (!record_.Add(id)) continue;
    if (adapters_.Disable(id)) {
      WaitForState(id, TAdapterState::Disabled);
    } else if (adapters_.State(id) == TAdapterState::Enabled) {
      record_.Remove(id);
    }
  }
}

void TAdapterKeeper::Restore() {
  for (const std::wstring& id : record_.Read()) {
    switch (adapters_.State(id)) {
      case TAdapterState::Enabled:
        record_.Remove(id);
        break;
      case TAdapterState::Disabled:
        // A failed or unconfirmed enable stays recorded for the next call or load.
        if (adapters_.Enable(id) && WaitForState(id, TAdapterState::Enabled)) record_.Remove(id);
        break;
      case TAdapterState::Absent:
        // Unplugged: it comes back disabled, and is enabled then.
        break;
    }
  }
}

bool TAdapterKeeper::WaitForState(const std::wstring& deviceId, TAdapterState wanted) {
  for (std::uint32_t waited = 0;; waited += kPollIntervalMs) {
    if (adapters_.State(deviceId) == wanted) return true;
    if (waited >= kStateChangeBoundMs) return false;
    pause_(kPollIntervalMs);
  }
}
