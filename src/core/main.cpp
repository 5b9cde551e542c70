// The program's entry: one instance, one main window, one message loop.

#include "common/startup_trace.h"
#include "common/texts.h"
#include "common/unique_handle.h"
#include "core/dll_thread.h"
#include "core/main_form.h"
#include "tuning/speed_up.h"
#include "ui/application.h"
#include "update/maker_server.h"
#include "update/update_step.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace {

// The process's last-chance handler, for an error that escapes before the message loop: a
// task-modal box naming the error's type, the program, the raising code's offset in it and the
// message. Call it from inside a catch block.
void ShowApplicationError() noexcept {
  try {
    const CaughtError error = CurrentError();
    const std::wstring exeName = GetExeName();
    const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
    const auto address = reinterpret_cast<std::uintptr_t>(error.address);
    const std::wstring text =
        ApplicationErrorText(error.typeName, exeName.substr(exeName.find_last_of(L'\\') + 1),
                             address > base ? address - base : 0, error.message);
    MessageBoxW(nullptr, text.c_str(), texts::kApplicationErrorCaption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
  } catch (...) {
    // Nothing is left to report with; the process still ends with its error code.
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  LAGVANE_STARTUP_STEP("entry");
  TApplication& app = TApplication::Initialize();
  // Before anything reads the registry.
  TSpeedUp::CreateInstance();
  LAGVANE_STARTUP_STEP("framework and tuning object");

  // Before the single-instance check, so that a second start may still offer the update. Not
  // when the program is being removed: the uninstaller waits for that run, and an update offered
  // there would hold it, or install the program again.
  try {
    if (!UninstallSwitchGiven() &&
        RunUpdateStep(TSpeedUp::GetInstance(), MakerServer()) == UpdateOutcome::kEndProgram) {
      TSpeedUp::ReleaseInstance();
      return 0;
    }
    LAGVANE_STARTUP_STEP("update check");
  } catch (...) {
    ShowApplicationError();
    TSpeedUp::ReleaseInstance();
    return 1;
  }

  std::unique_ptr<TfrmMain> form;
  UniqueHandle mutex(CreateMutexW(nullptr, TRUE, texts::kMutexName));
  // Read at once: only a handle with no error means that no other instance holds the name.
  const DWORD mutexError = GetLastError();
  LAGVANE_STARTUP_STEP("mutex");
  if (mutex && mutexError == ERROR_SUCCESS) {
    app.SetTitle(L"");
    form = std::make_unique<TfrmMain>();
    bool created = false;
    try {
      created = form->Create();
    } catch (...) {
      app.HandleException();
    }
    // Otherwise the program ends here: creation has shown its error, or the removal switch or a
    // quit asked for during creation has ended it.
    if (created) {
      form->ShowFirstTime();
      app.Run();
    }
  }
  mutex.reset();
  // The main window goes after the mutex, as at every ordinary end.
  form.reset();
  TSpeedUp::ReleaseInstance();
  // A worker whose wait timed out may still be inside the library with the network down.
  TDllThread::WaitForRunning();
  return 0;
}
