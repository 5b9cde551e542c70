#pragma once

// The record of dropped adapters in the registry: HKLM "SOFTWARE\LAGVANE NetworkControl", one
// value per adapter named by its device id. HKLM takes writes from administrators only, and every
// entry sets the key's access list to a protected one that gives everyone else reading alone, so
// no standard user can plant an entry. It is not under "SOFTWARE\LAGVANE", which the program deletes at every
// start. On 64-bit Windows both builds of the library use the 64-bit view, so each finds what the
// other recorded.

#include "adapter_keeper.h"

#include <string>
#include <vector>

inline constexpr wchar_t kAdapterRecordKey[] = L"SOFTWARE\\LAGVANE NetworkControl";
// Held by whoever reads or changes the record, in every session.
inline constexpr wchar_t kRecordMutexName[] = L"Global\\LAGVANE NetworkControl record";

class TRegistryAdapterRecord : public IAdapterRecord {
public:
  std::vector<std::wstring> Read() override;
  bool Add(const std::wstring& deviceId) override;
  void Remove(const std::wstring& deviceId) override;

  // Whether the record holds an entry: one key and one query, no mutex and no list, so a load
  // can tell at once that it has nothing to repair.
  static bool HoldsEntries();

  // The view flag for the key: the 64-bit view wherever Windows has one.
  static unsigned long View();
};
