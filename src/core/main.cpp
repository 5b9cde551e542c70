// The program's entry: one instance, one main window, one message loop.

#include "common/texts.h"
#include "common/unique_handle.h"
#include "core/main_form.h"
#include "tuning/speed_up.h"
#include "ui/application.h"

#include <windows.h>

#include <memory>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  TApplication& app = TApplication::Initialize();
  // Before anything reads the registry.
  TSpeedUp::CreateInstance();

  // The self-update check runs here, before the single-instance check.

  std::unique_ptr<TfrmMain> form;
  UniqueHandle mutex(CreateMutexW(nullptr, TRUE, texts::kMutexName));
  // Read at once: only a handle with no error means that no other instance holds the name.
  const DWORD mutexError = GetLastError();
  if (mutex && mutexError == ERROR_SUCCESS) {
    app.SetTitle(L"");
    form = std::make_unique<TfrmMain>();
    bool created = false;
    try {
      created = form->Create();
    } catch (...) {
      app.HandleException();
    }
    if (created) {
      form->ShowFirstTime();
      app.Run();
    } else if (form->Handle()) {
      // Creation stopped at an error that has been shown: end as a close would.
      SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    }
  }
  mutex.reset();
  // The main window goes after the mutex, as at every ordinary end.
  form.reset();
  TSpeedUp::ReleaseInstance();
  return 0;
}
