#include "update/update_step.h"

#include "common/texts.h"
#include "tuning/reg_set.h"
#include "update/maker_server.h"
#include "update/update_crypto.h"
#include "update/update_operations.h"
#include "update/version.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// The installed version's value, and the manifest entry of the same name.
constexpr wchar_t kVersionName[] = L"LAGVANE.exe";
constexpr wchar_t kInstallerFileName[] = L"lagvanesetup.exe";

bool IsBlank(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c > L' ') return false;
  }
  return true;
}

}  // namespace

UpdateOutcome RunUpdateStep(TRegSet& settings, const ServerAddress& server) {
  if (!CheckUpdateServer(server)) return UpdateOutcome::kGoOn;
  const std::wstring installed = settings.ReadString(HKEY_CURRENT_USER, kProductKey, kVersionName);
  std::string manifest;
  const std::wstring latest = GetServerVersion(kVersionName, server, &manifest);
  // Only what the maker signed counts: any other manifest is as if the server could not be
  // reached, and a signed version that is not newer (a replayed old manifest) is never offered.
  const std::optional<SignedUpdate> update = VerifiedUpdate(manifest);
  if (!update || !IsNewerVersion(update->version, installed)) return UpdateOutcome::kGoOn;
  if (IsLatestVersion(latest, installed)) return UpdateOutcome::kGoOn;

  if (MessageBoxW(nullptr, texts::kUpdateQuestion, texts::kUpdateCaption, MB_YESNO | MB_ICONWARNING) != IDYES) {
    return UpdateOutcome::kGoOn;
  }
  const std::wstring tempDirectory = GetTempDirectory();
  if (IsBlank(tempDirectory)) {
    const std::wstring text = texts::kNoTempFolder + MakerHomepage();
    MessageBoxW(nullptr, text.c_str(), texts::kWarningCaption, MB_OK | MB_ICONWARNING);
    return UpdateOutcome::kEndProgram;
  }
  // The folder as the system gave it, with its closing backslash: no separator is added.
  const std::wstring installer = tempDirectory + kInstallerFileName;
  if (DownloadFile(server, kInstallerPath, installer, update->installerSize)) {
    // Held from the check until the installer has started, so that what runs is what was checked.
    const UniqueHandle checked = HoldVerifiedFile(installer, update->installerSize, update->installerSha256);
    // The installer runs on its own; whether it started is not looked at.
    ShellExecuteW(nullptr, L"Open", installer.c_str(), nullptr, nullptr, SW_SHOW);
  }
  return UpdateOutcome::kEndProgram;
}
