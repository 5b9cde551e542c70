#include "core/main_form.h"

#include "common/startup_trace.h"
#include "common/texts.h"
#include "core/command_line.h"
#include "tuning/msmq_setup.h"
#include "tuning/speed_up.h"
#include "tuning/windows_version.h"
#include "ui/message_dialog_msmq.h"
#include "ui/application.h"
#include "ui/image_control.h"
#include "ui/image_progress_bar.h"
#include "ui/label_control.h"
#include "ui/png_resource.h"
#include "ui/png_resource_image.h"
#include "ui/transparent_form.h"
#include "ui/tray_icon.h"
#include "update/maker_server.h"
#include "update/update_operations.h"

#include <shellapi.h>

#include <vector>

namespace {

// Put there by the installer; only its presence counts.
constexpr wchar_t kFirstRunMarker[] = L"NeedOptimization";

// The program's arguments, without its own name.
std::vector<std::wstring> CommandLineArguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; argv && i < count; ++i) arguments.emplace_back(argv[i]);
  if (argv) LocalFree(argv);
  return arguments;
}

// The form's design-time place and client size; start-up sizes it to the skin.
constexpr RECT kDesignBounds{601, 1, 601 + 478, 1 + 212};
// Borderless and unowned with WS_EX_APPWINDOW: this window, not a hidden one, owns the taskbar
// button. The skin takes the system menu and minimise box away while it is active.
constexpr LONG_PTR kMainStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The status label's font: 8-pixel 굴림체 in white.
constexpr wchar_t kLabelFontName[] = L"굴림체";
constexpr int kLabelFontHeight = -8;
// Both progress bars stand on the same strip: 15 cells of 6 x 7 from (40, 18), 2 pixels apart.
constexpr TImageRect kProgressStart{18, 40, 6, 7};
constexpr std::int32_t kProgressSpace = 2;
constexpr std::int32_t kProgressCells = 15;
// The pause before a control's hint shows (the framework's default is 500 ms).
constexpr UINT kHintPauseMs = 10;

constexpr int kMainIconId = 1;

}  // namespace

bool UninstallSwitchGiven() { return IsUninstallSwitch(CommandLineArguments()); }

TfrmMain::TfrmMain() = default;

TfrmMain::~TfrmMain() {
  FormDestroy();
  if (hwnd_) DestroyWindow(hwnd_);
}

bool TfrmMain::Create() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(CS_DBLCLKS, LoadIconW(instance, MAKEINTRESOURCEW(kMainIconId)),
                      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kMainIconId), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                    0)));
  const HWND hwnd = CreateWindowExW(
      WS_EX_APPWINDOW, kClassName, texts::kMainCaption, static_cast<DWORD>(kMainStyle), kDesignBounds.left,
      kDesignBounds.top,
      kDesignBounds.right - kDesignBounds.left, kDesignBounds.bottom - kDesignBounds.top, nullptr,
      nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd) throw Exception(L"Cannot create the main window");
  LAGVANE_STARTUP_STEP("window creation");

  bool finished = false;
  try {
    CreateFormControls();
    finished = FormCreate();
  } catch (...) {
    // The remaining creation steps do not run; the program ends once this is shown.
    TApplication::Instance().HandleException();
  }
  if (!finished) {
    EndWithoutRemoval();
    return false;
  }
  ready_ = true;
  if (closePending_) {
    // A quit asked for during creation: the ordinary close, with the state now known.
    closePending_ = false;
    CloseAndEnd();
    return false;
  }
  return true;
}

void TfrmMain::EndWithoutRemoval() noexcept {
  if (TrayIcon) TrayIcon->SetVisible(false);
  FSpeedUp = nullptr;
  TSpeedUp::ReleaseInstance();
}

bool TfrmMain::FormCreate() {
  TApplication& app = TApplication::Instance();
  // 1. Hourglass while the window is being built.
  app.SetCursorOverride(LoadCursorW(nullptr, IDC_WAIT));
  // 2. The instance made by the entry.
  FSpeedUp = &TSpeedUp::GetInstance();
  // 3. Hidden until an MSMQ callback shows it.
  FMessageDialogMSMQ = std::make_unique<TfrmMessageDialogMSMQ>(hwnd_);
  // 4. The removal switch ends the program here, whether or not anything was removed.
  if (UninstallSwitchGiven()) {
    if (GetWindowsVersion() > TWinVersion::wvWinXP && IsMSMQInstalled(TMSMQMethod::mmOCSetup)) {
      SetupMSMQ(TMSMQMethod::mmOCSetup, false, [this] { MSMQUninstallStarted(); },
                [this] { MSMQUninstallFinished(); });
    }
    return false;
  }
  // 5. The first normal start: the marker goes whether or not anything was installed, and also
  // when the installation stops at an error, so that the next start is not a first run again.
  if (FSpeedUp->Exists(HKEY_CURRENT_USER, kProductKey, kFirstRunMarker)) {
    try {
      InstallMSMQ();
    } catch (...) {
      FSpeedUp->Delete(HKEY_CURRENT_USER, kProductKey, kFirstRunMarker);
      throw;
    }
    FSpeedUp->Delete(HKEY_CURRENT_USER, kProductKey, kFirstRunMarker);
  }
  LAGVANE_STARTUP_STEP("MSMQ notice and first-run check");
  // 6. The layered skin: no frame, the controls onto the control form, the mask's picture.
  jtfBackground->SetActive(true);
  LAGVANE_STARTUP_STEP("skin activation");
  // 7.
  app.SetHintPause(kHintPauseMs);
  // 8. The window takes the skin picture's size.
  SetWindowPos(hwnd_, nullptr, 0, 0, imgBackground->Picture().Width(), imgBackground->Picture().Height(),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  imgBackground->SetBounds(0, 0, imgBackground->Picture().Width(), imgBackground->Picture().Height());
  // 9.
  InitControls();
  LAGVANE_STARTUP_STEP("controls and pictures (bars, buttons, mode)");
  // 10.
  app.SetCursorOverride(nullptr);
  return true;
}

void TfrmMain::CreateFormControls() {
  const auto image = [this](int left, int top, int width, int height, const wchar_t* text, const wchar_t* picture,
                            bool autoSize) {
    auto control = std::make_unique<TImage>(hwnd_, left, top, width, height, text);
    control->SetAutoSize(autoSize);
    if (picture) LoadPNGResourceToImage(*control, picture);
    return control;
  };
  imgBackground = std::make_unique<TImage>(hwnd_, 0, 0, 247, 42, L"imgBackground", false);
  LoadPNGResourceToImage(*imgBackground, L"FORM_SKIN");
  imgClose = image(229, 5, 9, 8, texts::kHintQuit, L"FORM_CLOSE", true);
  imgMin = image(196, 4, 10, 10, texts::kHintMinimise, L"FORM_MINIMISE", true);
  lblTextInfo = std::make_unique<TLabel>(hwnd_, 40, 28, 124, 9, texts::kAnalysingRegistry,
                                         TLabel::Font{kLabelFontName, kLabelFontHeight, HANGEUL_CHARSET,
                                                      RGB(255, 255, 255)},
                                         true);
  imgGame = image(6, 6, 31, 31, texts::kHintGame, nullptr, false);
  imgWeb = image(167, 20, 16, 15, texts::kHintWeb, L"ButtonWeb_OFF", true);
  imgHome = image(196, 20, 15, 15, texts::kHintHomepage, L"FORM_HOME", true);
  imgSetup = image(213, 4, 10, 10, texts::kHintSetup, L"FORM_SETUP", true);
  imgTovalin = image(224, 20, 14, 15, texts::kHintTovalin, L"FORM_PARTNER", true);
  Image1 = image(216, 19, 3, 18, L"Image1", L"FORM_DIVIDER", true);
  Image2 = image(188, 19, 3, 18, L"Image2", L"FORM_DIVIDER", true);
  CreateActions();
  ConnectControlEvents();
  LAGVANE_STARTUP_STEP("form controls and pictures");
  CreateTrayIcon();
  LAGVANE_STARTUP_STEP("tray icon");

  jtfBackground = std::make_unique<TJvTransparentForm>(hwnd_, [] { return kMainStyle; });
  jtfBackground->BeginLoading();
  jtfBackground->SetMaskFromImage(imgBackground.get());
  jtfBackground->SetMode(TJvTransparentFormMode::tfmLayeredWindow);
  jtfBackground->SetMovableForm(true);
  jtfBackground->Loaded();
  LAGVANE_STARTUP_STEP("skin loading");
}

void TfrmMain::BuildControls() {
  // Both bars on the same strip, every cell on its off picture.
  FProgressBarGame = std::make_unique<TImageProgressBar>(kProgressStart, kProgressSpace);
  FProgressBarWeb = std::make_unique<TImageProgressBar>(kProgressStart, kProgressSpace);
  FProgressBarGame->AddImage(hwnd_, L"PROGRESSBAR_GAME", L"PROGRESSBAR_BACKGROUND", kProgressCells);
  FProgressBarWeb->AddImage(hwnd_, L"PROGRESSBAR_WEB", L"PROGRESSBAR_BACKGROUND", kProgressCells);
  // The two buttons, on their off pictures.
  FGamePingImage = std::make_unique<TPNGResourceImage>(imgGame.get(), L"ButtonGame_ON", L"ButtonGame_OFF",
                                                       L"ButtonGame_OVER");
  FWebPingImage =
      std::make_unique<TPNGResourceImage>(imgWeb.get(), L"ButtonWeb_ON", L"ButtonWeb_OFF", L"ButtonWeb_OVER");
}

template <typename Action>
void TfrmMain::RunModeAction(Action action) {
  try {
    action();
  } catch (...) {
    TApplication::Instance().HandleException();
  }
  // The engine is idle again only when the outermost action returns.
  if (closePending_ && !engine_.Executing()) {
    closePending_ = false;
    CloseAndEnd();
  }
}

void TfrmMain::actGamePingExecuteExecute() {
  RunModeAction([this] { engine_.actGamePingExecuteExecute(); });
}

void TfrmMain::actWebPingExecuteExecute() {
  RunModeAction([this] { engine_.actWebPingExecuteExecute(); });
}

TImageProgressBar& TfrmMain::Bar(TKindMode bar) const {
  return bar == TKindMode::kmGame ? *FProgressBarGame : *FProgressBarWeb;
}

std::wstring TfrmMain::StatusText() const { return lblTextInfo->Caption(); }

void TfrmMain::SetStatusText(const std::wstring& text) { lblTextInfo->SetCaption(text); }

TStateMode TfrmMain::ButtonPicture(TKindMode button) const {
  return (button == TKindMode::kmGame ? FGamePingImage : FWebPingImage)->ImageMode();
}

void TfrmMain::SetButtonPicture(TKindMode button, TStateMode state) {
  (button == TKindMode::kmGame ? FGamePingImage : FWebPingImage)->SetImageMode(state);
}

void TfrmMain::SetBarVisible(TKindMode bar, bool visible) { Bar(bar).SetVisible(visible); }

void TfrmMain::SetBarCells(TKindMode bar, TStateMode state) { Bar(bar).SetStateMode(state); }

void TfrmMain::SetBarPosition(TKindMode bar, std::int32_t position) {
  TImageProgressBar& progress = Bar(bar);
  progress.SetPosition(position);
  // Each step shows before the pause, even if the queue holds other work.
  if (position >= 1 && position <= progress.Max()) {
    if (TImage* cell = progress.Cell(static_cast<std::size_t>(position - 1)).Image()) UpdateWindow(cell->Handle());
  }
}

bool TfrmMain::ConfirmSwitch(TKindMode target) { return ShowConfirmDialog(target); }

void TfrmMain::ShowWarning(const std::wstring& text) {
  MessageBoxW(hwnd_, text.c_str(), texts::kWarningCaption, MB_OK | MB_ICONWARNING);
}

void TfrmMain::ShowMessage(const std::wstring& text) {
  MessageBoxW(hwnd_, text.c_str(), TApplication::Instance().Title().c_str(), MB_OK);
}

void TfrmMain::SetMenuCheck(TMenuCheck entry, bool checked) {
  switch (entry) {
    case TMenuCheck::actGamePingExecute: actGamePingExecute.checked = checked; break;
    case TMenuCheck::actWebPingExecute: actWebPingExecute.checked = checked; break;
    case TMenuCheck::actWindowStart: actWindowStart.checked = checked; break;
    case TMenuCheck::actStayOnTop: actStayOnTop.checked = checked; break;
  }
}

bool TfrmMain::Topmost() const { return (GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void TfrmMain::ProcessPendingEvents() { TApplication::Instance().ProcessMessages(); }

TSpeedUp& TfrmMain::Tuning() const {
  if (!FSpeedUp) throw Exception(L"The tuning object has been released");
  return *FSpeedUp;
}

bool TfrmMain::SwitchGameSet(TStateMode state) { return ::SwitchGameSet(Tuning(), state); }
bool TfrmMain::DoBrowserSpeedUp() { return Tuning().DoBrowserSpeedUp(); }
void TfrmMain::DelBrowserSpeedUp() { Tuning().DelBrowserSpeedUp(); }
bool TfrmMain::CheckBrowserSpeedUp() { return Tuning().CheckBrowserSpeedUp(); }
bool TfrmMain::CheckPageLoadingUp() { return Tuning().CheckPageLoadingUp(); }
bool TfrmMain::CheckGamePing() { return Tuning().CheckGamePing(); }
bool TfrmMain::CheckWindowStart() { return Tuning().CheckWindowStart(); }
bool TfrmMain::LegacyKeyExists() { return Tuning().Exists(HKEY_LOCAL_MACHINE, kProductKey); }
void TfrmMain::DeleteLegacyKey() { Tuning().DeleteKey(HKEY_LOCAL_MACHINE, kProductKey); }

void TfrmMain::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

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
  LAGVANE_STARTUP_STEP("first paint");
  if (!shown_) {
    shown_ = true;
    // An error here reaches the default error handler; the window stays shown.
    try {
      FormShow();
    } catch (...) {
      TApplication::Instance().HandleException();
    }
    LAGVANE_STARTUP_LAST("start report");
  }
}

void TfrmMain::FormShow() {
  // Once per run: later showings go straight to the window system.
  SendStartReport(MakerServer());
}

bool TfrmMain::FormCloseQuery() {
  // 1.–2. The active mode's registry tweaks go; no animation, no network reset, and the mode
  // properties themselves stay as they are.
  if (GamePing() == TStateMode::smON) SetGamePingReg(TStateMode::smOFF);
  if (WebPing() == TStateMode::smON) SetWebPingReg(TStateMode::smOFF);
  // 3.
  if (TrayIcon) TrayIcon->SetVisible(false);
  // 4.
  FSpeedUp = nullptr;
  TSpeedUp::ReleaseInstance();
  // 5. The close is never refused.
  return true;
}

void TfrmMain::FormDestroy() noexcept {
  FGamePingImage.reset();
  FWebPingImage.reset();
  FProgressBarGame.reset();
  FProgressBarWeb.reset();
  FMessageDialogMSMQ.reset();
}

void TfrmMain::InstallMSMQ() {
  if (GetWindowsVersion() > TWinVersion::wvWinXP && !IsMSMQInstalled(TMSMQMethod::mmOCSetup)) {
    SetupMSMQ(TMSMQMethod::mmOCSetup, true, [this] { MSMQInstallStarted(); }, [this] { MSMQInstallFinished(); });
  }
}

void TfrmMain::MSMQInstallStarted() { ShowMSMQNotice(texts::kMsmqInstallPicture); }

void TfrmMain::MSMQUninstallStarted() { ShowMSMQNotice(texts::kMsmqUninstallPicture); }

void TfrmMain::MSMQInstallFinished() { FMessageDialogMSMQ->Close(); }

void TfrmMain::MSMQUninstallFinished() { FMessageDialogMSMQ->Close(); }

void TfrmMain::ShowMSMQNotice(const wchar_t* picture) {
  FMessageDialogMSMQ->SetResourceName(picture);
  FMessageDialogMSMQ->Show();
  // Painted before ocsetup starts.
  TApplication::Instance().ProcessMessages();
}

void TfrmMain::CloseAndEnd() {
  if (!ready_ || engine_.Executing()) {
    // The window being built or a running change still needs the tuning object: the close
    // follows once that has finished.
    closePending_ = true;
    return;
  }
  if (!closeQueryDone_) {
    closeQueryDone_ = true;
    if (!FormCloseQuery()) {
      closeQueryDone_ = false;
      return;
    }
  }
  TApplication::Instance().Terminate();
}

void TfrmMain::OnPaint() {
  // The background is the erase step's; while the skin is active nothing of this shows.
  PAINTSTRUCT ps;
  BeginPaint(hwnd_, &ps);
  EndPaint(hwnd_, &ps);
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND: {
      // Also asked by the controls for what lies beneath them.
      RECT client;
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_CLOSE:
      CloseAndEnd();
      return 0;
    case WM_QUERYENDSESSION:
      // While the window is being built nothing has been written yet, and the creation still
      // needs the tuning object: the session may end at once.
      if (!ready_) return TRUE;
      // Log-off or shutdown runs the same close query, so the tweaks never outlive the session.
      // A change that is running then stops where it stands.
      if (!closeQueryDone_) {
        closeQueryDone_ = true;
        FormCloseQuery();
      }
      engine_.Abandon();
      return TRUE;
    case WM_ENDSESSION:
      // During creation the end follows once the window is finished.
      if (!ready_) {
        if (wParam) closePending_ = true;
        return 0;
      }
      // Whether the session ends or another program cancelled it, the tweaks and the tuning
      // object are gone: the program ends.
      if (closeQueryDone_) TApplication::Instance().Terminate();
      return 0;
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}
