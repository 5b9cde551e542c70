// The main window's action list, popup menu, tray icon and the handlers that connect them with
// the controls.

#include "core/main_form.h"

#include "common/texts.h"
#include "tuning/speed_up.h"
#include "ui/application.h"
#include "ui/bubble_placement.h"
#include "ui/message_dialog.h"
#include "ui/image_control.h"
#include "ui/tray_icon.h"
#include "ui/transparent_form.h"
#include "update/maker_server.h"

#include <shellapi.h>

#include <string>

namespace {

constexpr wchar_t kTovalinAddress[] = L"http://www.tovalin.co.kr";

// The browser with the address; whether it could be started is not examined.
void OpenURL(const std::wstring& address) {
  ShellExecuteW(nullptr, L"open", L"iexplore", address.c_str(), nullptr, SW_SHOW);
}

// Moves in the z-order only.
constexpr UINT kZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

}  // namespace

void TfrmMain::CreateActions() {
  const auto define = [](TAction& action, const wchar_t* caption, const wchar_t* hint, auto handler) {
    action.caption = caption;
    action.hint = hint;
    action.onExecute = handler;
  };
  // The tray icon and the menu are live while the window is being built (the first-run MSMQ
  // setup handles messages): what needs the finished window waits for it. The quit is deferred
  // by the close itself; the autostart entry and hiding need nothing of the window.
  define(actOpen, texts::kActOpen, L"", WhenReady([this] { actOpenExecute(); }));
  define(actGamePingExecute, texts::kActGamePing, texts::kHintGame,
         WhenReady([this] { actGamePingExecuteExecute(); }));
  define(actWebPingExecute, texts::kActWebPing, texts::kHintWeb, WhenReady([this] { actWebPingExecuteExecute(); }));
  define(actHomepage, texts::kActHomepage, texts::kHintHomepage, WhenReady([this] { actHomepageExecute(); }));
  define(actClose, texts::kActClose, texts::kHintQuit, [this] { actCloseExecute(); });
  define(actMin, texts::kActMin, texts::kHintMinimise, WhenReady([this] { actMinExecute(); }));
  define(actWindowStart, texts::kActWindowStart, L"", [this] { actWindowStartExecute(); });
  define(actStayOnTop, texts::kActStayOnTop, L"", WhenReady([this] { actStayOnTopExecute(); }));
  actStayOnTop.autoCheck = true;
  define(actFormHide, texts::kActFormHide, L"", [this] { actFormHideExecute(); });
  define(actTovalin, texts::kActTovalin, texts::kHintTovalin, WhenReady([this] { actTovalinExecute(); }));

  ppMenu.AddItem(L"N1", actOpen);
  ppMenu.AddSeparator(L"N2");
  ppMenu.AddItem(L"miGame", actGamePingExecute, true);
  ppMenu.AddItem(L"miWeb", actWebPingExecute, true);
  ppMenu.AddSeparator(L"N5");
  ppMenu.AddItem(L"N4", actStayOnTop, true);
  ppMenu.AddItem(L"N3", actWindowStart, true);
  ppMenu.AddSeparator(L"N8");
  ppMenu.AddItem(L"N6", actHomepage);
  ppMenu.AddItem(L"N9", actTovalin);
  ppMenu.AddItem(L"N7", actClose);
  ppMenu.OnPopup = [this] { ppMenuPopup(); };
}

std::function<void()> TfrmMain::WhenReady(std::function<void()> handler) {
  return [this, handler = std::move(handler)] {
    if (ready_) handler();
  };
}

void TfrmMain::CreateTrayIcon() {
  std::vector<UniqueHIcon> images;
  for (const wchar_t* name : {L"TRAY_NONE", L"TRAY_GAME", L"TRAY_WEB"}) images.push_back(CreateTrayIconFromPng(name));
  TrayIcon = std::make_unique<TTrayIcon>(std::move(images));
  TrayIcon->OnDblClick = [this] { TrayIconDblClick(); };
  TrayIcon->OnRightRelease = [this](POINT point) { ppMenu.Popup(hwnd_, point); };
  TrayIcon->SetVisible(true);
}

void TfrmMain::ConnectControlEvents() {
  imgClose->OnClick = [this] { imgCloseClick(); };
  imgMin->OnClick = [this] { imgMinClick(); };
  imgGame->OnClick = [this] { imgGameClick(); };
  imgWeb->OnClick = [this] { imgWebClick(); };
  imgHome->OnClick = [this] { imgHomeClick(); };
  imgSetup->OnClick = [this] { imgSetupClick(); };
  imgSetup->OnContextPopup = [this](POINT point) { ppMenu.Popup(hwnd_, point); };
  imgTovalin->OnClick = [this] { imgTovalinClick(); };
  for (TImage* image : {imgClose.get(), imgMin.get(), imgHome.get(), imgSetup.get(), imgTovalin.get()}) {
    image->OnMouseEnter = [this, image] { imgCursorMouseEnter(image); };
    image->OnMouseLeave = [this, image] { imgCursorMouseLeave(image); };
  }
  imgClose->SetHint(texts::kHintQuit);
  imgMin->SetHint(texts::kHintMinimise);
  imgGame->SetHint(texts::kHintGame);
  imgWeb->SetHint(texts::kHintWeb);
  imgHome->SetHint(texts::kHintHomepage);
  imgSetup->SetHint(texts::kHintSetup);
  imgTovalin->SetHint(texts::kHintTovalin);
}

void TfrmMain::SetTrayIndex(int index) {
  trayIndex_ = index;
  if (TrayIcon) TrayIcon->SetIconIndex(index);
}

void TfrmMain::actOpenExecute() {
  // SW_SHOW: a hidden window comes back; a minimised one stays minimised.
  ShowWindow(hwnd_, SW_SHOW);
}

void TfrmMain::actHomepageExecute() { OpenURL(MakerHomepage()); }

void TfrmMain::actTovalinExecute() { OpenURL(kTovalinAddress); }

void TfrmMain::actCloseExecute() {
  // The same road as every close request: the close query, then the end.
  SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void TfrmMain::actMinExecute() { ShowWindow(hwnd_, SW_SHOWMINIMIZED); }

void TfrmMain::actFormHideExecute() { ShowWindow(hwnd_, SW_HIDE); }

void TfrmMain::actWindowStartExecute() {
  if (!FSpeedUp) return;
  if (FSpeedUp->CheckWindowStart()) {
    FSpeedUp->DelWindowStart();
  } else {
    FSpeedUp->DoWindowStart();
  }
}

void TfrmMain::actStayOnTopExecute() {
  // The mark has already flipped.
  if (!actStayOnTop.checked) {
    SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
    return;
  }
  // The control form is made anew as the owned window of a topmost window, so it stays above.
  jtfBackground->SetActive(false);
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
  jtfBackground->SetActive(true);
}

void TfrmMain::imgSetupClick() {
  POINT point{};
  GetCursorPos(&point);
  ppMenu.Popup(hwnd_, point);
}

void TfrmMain::imgCursorMouseEnter(TImage* Sender) {
  TApplication::Instance().SetCursorOverrideFor(Sender, LoadCursorW(nullptr, IDC_HAND));
}

void TfrmMain::imgCursorMouseLeave(TImage* Sender) { TApplication::Instance().ReleaseCursorOverrideFor(Sender); }

POINT TfrmMain::NormalTopLeft() const {
  RECT bounds{};
  GetWindowRect(hwnd_, &bounds);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  // A minimised window stands at its parking place, far off the screen; its normal place is where
  // it comes back to.
  if (!IsIconic(hwnd_) || !GetWindowPlacement(hwnd_, &placement)) return {bounds.left, bounds.top};
  POINT topLeft{placement.rcNormalPosition.left, placement.rcNormalPosition.top};
  // The normal place is in work-area coordinates unless the window is a tool window.
  if ((GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromRect(&placement.rcNormalPosition, MONITOR_DEFAULTTONEAREST), &monitor)) {
      topLeft.x += monitor.rcWork.left - monitor.rcMonitor.left;
      topLeft.y += monitor.rcWork.top - monitor.rcMonitor.top;
    }
  }
  return topLeft;
}

bool TfrmMain::ShowConfirmDialog(TKindMode kind) {
  TfrmMessageDialog dialog(hwnd_);
  dialog.SetMode(kind);
  const POINT origin = NormalTopLeft();
  const TBubblePlacement place = PlaceBubble(origin.x, origin.y, kind);
  dialog.SetIsTop(place.isTop);
  dialog.YesArea().SetBounds(kBubbleYesLeft, place.hitTop, kBubbleHitWidth, kBubbleHitHeight);
  dialog.NoArea().SetBounds(kBubbleNoLeft, place.hitTop, kBubbleHitWidth, kBubbleHitHeight);
  SetWindowPos(dialog.Handle(), nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return dialog.ShowModal() == TfrmMessageDialog::mrYes;
}
