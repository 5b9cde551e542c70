#pragma once

#include "tuning/registry.h"

#include <cstdint>
#include <string>

// The program's own key: under HKEY_CURRENT_USER it holds the installed version and the first-run
// marker; under HKEY_LOCAL_MACHINE it is what earlier versions left behind.
inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\LAGVANE";

// One registry task per call: set the root, open, do one thing, always close. Reads, writes and
// the exists tests never let an error out; each failure has a fixed result.
class TRegSet {
public:
  TRegSet() = default;
  TRegSet(const TRegSet&) = delete;
  TRegSet& operator=(const TRegSet&) = delete;
  virtual ~TRegSet() = default;

  std::wstring ReadString(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept;
  std::int32_t ReadInteger(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept;
  // True when the value was written; a failure is otherwise as silent as every other.
  bool WriteString(HKEY rootKey, const std::wstring& folder, const std::wstring& name,
                   const std::wstring& value) noexcept;
  bool WriteInteger(HKEY rootKey, const std::wstring& folder, const std::wstring& name,
                    std::int32_t value) noexcept;
  bool DeleteKey(HKEY rootKey, const std::wstring& folder) noexcept;
  bool Delete(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept;
  bool Exists(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept;
  bool Exists(HKEY rootKey, const std::wstring& folder) noexcept;

protected:
  TRegistry FReg;
};
