#include "tuning/reg_set.h"

namespace {

// Every operation ends with no key open, whichever way it leaves.
class CloseAtExit {
public:
  explicit CloseAtExit(TRegistry& reg) noexcept : reg_(reg) {}
  CloseAtExit(const CloseAtExit&) = delete;
  CloseAtExit& operator=(const CloseAtExit&) = delete;
  ~CloseAtExit() { reg_.CloseKey(); }

private:
  TRegistry& reg_;
};

}  // namespace

std::wstring TRegSet::ReadString(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept {
  CloseAtExit close(FReg);
  try {
    FReg.SetRootKey(rootKey);
    if (FReg.OpenKey(folder, false)) return FReg.ReadString(name);
  } catch (...) {
  }
  return {};
}

std::int32_t TRegSet::ReadInteger(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept {
  CloseAtExit close(FReg);
  try {
    FReg.SetRootKey(rootKey);
    if (FReg.OpenKey(folder, false)) return FReg.ReadInteger(name);
  } catch (...) {
  }
  return -1;
}

// A failed open leaves no key open, so the write that follows fails and is swallowed.
bool TRegSet::WriteString(HKEY rootKey, const std::wstring& folder, const std::wstring& name,
                          const std::wstring& value) noexcept {
  CloseAtExit close(FReg);
  try {
    FReg.SetRootKey(rootKey);
    FReg.OpenKey(folder, true);
    FReg.WriteString(name, value);
    return true;
  } catch (...) {
  }
  return false;
}

bool TRegSet::WriteInteger(HKEY rootKey, const std::wstring& folder, const std::wstring& name,
                           std::int32_t value) noexcept {
  CloseAtExit close(FReg);
  try {
    FReg.SetRootKey(rootKey);
    FReg.OpenKey(folder, true);
    FReg.WriteInteger(name, value);
    return true;
  } catch (...) {
  }
  return false;
}

bool TRegSet::DeleteKey(HKEY rootKey, const std::wstring& folder) noexcept {
  CloseAtExit close(FReg);
  FReg.SetRootKey(rootKey);
  return FReg.DeleteKey(folder);
}

bool TRegSet::Delete(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept {
  CloseAtExit close(FReg);
  FReg.SetRootKey(rootKey);
  FReg.OpenKey(folder, false);
  return FReg.DeleteValue(name);
}

// Opens with full access: a user who may not change the key learns nothing about its values.
bool TRegSet::Exists(HKEY rootKey, const std::wstring& folder, const std::wstring& name) noexcept {
  CloseAtExit close(FReg);
  FReg.SetRootKey(rootKey);
  FReg.OpenKey(folder, false);
  return FReg.ValueExists(name);
}

bool TRegSet::Exists(HKEY rootKey, const std::wstring& folder) noexcept {
  CloseAtExit close(FReg);
  FReg.SetRootKey(rootKey);
  return FReg.KeyExists(folder);
}
