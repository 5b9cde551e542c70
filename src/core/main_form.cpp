#include "core/main_form.h"

#include "common/texts.h"
#include "tuning/speed_up.h"
#include "ui/application.h"
#include "update/maker_server.h"
#include "update/update_operations.h"

#include <stdexcept>

namespace {

// The form's design-time place and client size; start-up sizes it to the skin.
constexpr RECT kDesignBounds{601, 1, 601 + 478, 1 + 212};
constexpr int kSkinWidth = 247;
constexpr int kSkinHeight = 42;
// The pause before a control's hint shows (the framework's default is 500 ms).
constexpr UINT kHintPauseMs = 10;

constexpr int kMainIconId = 1;

void RegisterMainClass(WNDPROC proc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(kMainIconId));
  wc.hIconSm = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(kMainIconId), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;  // painted in OnPaint, double-buffered
  wc.lpszClassName = TfrmMain::kClassName;
  if (!RegisterClassExW(&wc)) throw Exception(L"Cannot register the main window class");
  registered = true;
}

}  // namespace

TfrmMain::~TfrmMain() {
  FormDestroy();
  if (hwnd_) DestroyWindow(hwnd_);
}

bool TfrmMain::Create() {
  RegisterMainClass(&Window<TfrmMain>::WindowProc);
  // Borderless, unowned and with WS_EX_APPWINDOW: this window, not a hidden one, owns the
  // taskbar button. The system menu and minimise box keep the taskbar button's commands.
  const HWND hwnd = CreateWindowExW(
      WS_EX_APPWINDOW, kClassName, texts::kMainCaption,
      WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, kDesignBounds.left, kDesignBounds.top,
      kDesignBounds.right - kDesignBounds.left, kDesignBounds.bottom - kDesignBounds.top, nullptr,
      nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd) throw Exception(L"Cannot create the main window");

  try {
    FormCreate();
    return true;
  } catch (...) {
    // The remaining creation steps do not run; the entry ends the program once this is shown.
    TApplication::Instance().HandleException();
    return false;
  }
}

void TfrmMain::FormCreate() {
  TApplication& app = TApplication::Instance();
  // 1. Hourglass while the window is being built.
  app.SetCursorOverride(LoadCursorW(nullptr, IDC_WAIT));
  // 2. The instance made by the entry.
  FSpeedUp = &TSpeedUp::GetInstance();
  // 3.–5. The MSMQ notice, the removal switch and the first-run installation join here.
  // 6. The layered skin is activated here.
  // 7.
  app.SetHintPause(kHintPauseMs);
  // 8. The window takes the skin picture's size.
  SetWindowPos(hwnd_, nullptr, 0, 0, kSkinWidth, kSkinHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // 9. InitControls (buttons, bars, the mode restored from the registry) joins here.
  // 10.
  app.SetCursorOverride(nullptr);
}

void TfrmMain::ShowFirstTime() {
  // Centred on the work area the first time, at the final size; later showings keep the place.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT bounds{};
  GetWindowRect(hwnd_, &bounds);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  if (!shown_) {
    shown_ = true;
    // An error here reaches the default error handler; the window stays shown.
    try {
      FormShow();
    } catch (...) {
      TApplication::Instance().HandleException();
    }
  }
}

void TfrmMain::FormShow() {
  // Once per run: later showings go straight to the window system.
  SendStartReport(MakerServer());
}

bool TfrmMain::FormCloseQuery() {
  // 1.–2. The active mode's registry tweaks go; no animation, no network reset, and the mode
  // properties themselves stay as they are.
  if (FGamePing == TStateMode::smON) SetGamePingReg(TStateMode::smOFF);
  if (FWebPing == TStateMode::smON) SetWebPingReg(TStateMode::smOFF);
  // 3. The tray icon is hidden here.
  // 4.
  FSpeedUp = nullptr;
  TSpeedUp::ReleaseInstance();
  // 5. The close is never refused.
  return true;
}

void TfrmMain::FormDestroy() noexcept {
  // The button pictures, the progress bars and the MSMQ notice are released here, in that order.
}

void TfrmMain::CloseAndEnd() {
  if (!closeQueryDone_) {
    closeQueryDone_ = true;
    if (!FormCloseQuery()) {
      closeQueryDone_ = false;
      return;
    }
  }
  TApplication::Instance().Terminate();
}

void TfrmMain::SetGamePingReg(TStateMode value) {
  FGamePingReg = value;
  if (!FSpeedUp) throw std::logic_error("tuning object released");
  SwitchGameSet(*FSpeedUp, value);
}

void TfrmMain::SetWebPingReg(TStateMode value) {
  FWebPingReg = value;
  if (!FSpeedUp) throw std::logic_error("tuning object released");
  if (value == TStateMode::smON) {
    FSpeedUp->DoBrowserSpeedUp();
  } else {
    FSpeedUp->DelBrowserSpeedUp();
  }
}

void TfrmMain::OnPaint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(hwnd_, &ps);
  FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
  EndPaint(hwnd_, &ps);
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (ApplyCursorOverride()) return TRUE;
      break;
    case WM_CLOSE:
      CloseAndEnd();
      return 0;
    case WM_QUERYENDSESSION:
      // Log-off or shutdown runs the same close query, so the tweaks never outlive the session.
      if (!closeQueryDone_) {
        closeQueryDone_ = true;
        FormCloseQuery();
      }
      return TRUE;
    case WM_ENDSESSION:
      // Whether the session ends or another program cancelled it, the tweaks and the tuning
      // object are gone: the program ends.
      if (closeQueryDone_) TApplication::Instance().Terminate();
      return 0;
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}
