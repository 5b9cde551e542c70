#include "ui/message_dialog.h"

#include "common/error.h"
#include "common/unique_handle.h"
#include "ui/application.h"
#include "ui/bubble_placement.h"
#include "ui/image_control.h"
#include "ui/png_resource.h"

#include <vector>

namespace {

constexpr COLORREF kKeyColour = RGB(255, 0, 0);
constexpr int kDesignWidth = 371;
constexpr int kDesignHeight = 146;

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM param) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

void SetColorKeyTransparent(HWND form) {
  SetWindowLongPtrW(form, GWL_EXSTYLE, GetWindowLongPtrW(form, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(form, kKeyColour, 255, LWA_COLORKEY);
  InvalidateRect(form, nullptr, TRUE);
}

TfrmMessageDialog::TfrmMessageDialog(HWND owner) {
  RegisterWindowClass();
  if (!CreateWindowExW(0, kClassName, L"frmMessageDialog", WS_POPUP | WS_CLIPCHILDREN, 0, 0, kDesignWidth,
                       kDesignHeight, owner, nullptr, GetModuleHandleW(nullptr), this)) {
    throw Exception(L"Cannot create the confirmation bubble");
  }
  imgBackground = std::make_unique<TImage>(hwnd_, 0, 0, kBubbleWidth, kBubbleHeight, L"imgBackground");
  imgBackground->SetAutoSize(false);
  ImgYes = std::make_unique<TImage>(hwnd_, kBubbleYesLeft, 48, kBubbleHitWidth, kBubbleHitHeight, L"ImgYes");
  imgNo = std::make_unique<TImage>(hwnd_, kBubbleNoLeft, 48, kBubbleHitWidth, kBubbleHitHeight, L"imgNo");
  ImgYes->OnClick = [this] { ImgYesClick(); };
  imgNo->OnClick = [this] { imgNoClick(); };
  for (TImage* area : {ImgYes.get(), imgNo.get()}) {
    area->OnMouseEnter = [this, area] { ImgYesMouseEnter(area); };
    area->OnMouseLeave = [this, area] { ImgYesMouseLeave(area); };
  }
  FormCreate();
}

TfrmMessageDialog::~TfrmMessageDialog() {
  ImgYes.reset();
  imgNo.reset();
  imgBackground.reset();
  if (hwnd_) DestroyWindow(hwnd_);
}

void TfrmMessageDialog::FormCreate() {
  SetColorKeyTransparent(hwnd_);
  const RECT bounds = imgBackground->BoundsRect();
  SetWindowPos(hwnd_, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMessageDialog::FormShow() {
  const wchar_t* name = nullptr;
  if (FMode == TKindMode::kmGame) name = FTop ? L"POPUP_GAME" : L"POPUP_GAME_UNDER";
  if (FMode == TKindMode::kmWeb) name = FTop ? L"POPUP_WEB" : L"POPUP_WEB_UNDER";
  if (!name) return;
  LoadPNGResourceToImage(*imgBackground, name);
  // The hit areas show the picture beneath them.
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TfrmMessageDialog::ImgYesMouseEnter(TImage* Sender) {
  TApplication::Instance().SetCursorOverrideFor(Sender, LoadCursorW(nullptr, IDC_HAND));
}

void TfrmMessageDialog::ImgYesMouseLeave(TImage* Sender) { TApplication::Instance().ReleaseCursorOverrideFor(Sender); }

int TfrmMessageDialog::ShowModal() {
  FormShow();
  // The program's other windows take no input while the bubble asks.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), &CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  std::erase(disabled, hwnd_);
  for (HWND window : disabled) EnableWindow(window, FALSE);

  modalResult_ = 0;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  MSG msg;
  bool quit = false;
  while (modalResult_ == 0) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  // Enabled again before the bubble goes, so the activation returns to the owner.
  for (HWND window : disabled) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  ShowWindow(hwnd_, SW_HIDE);
  // A hand shown over Yes or No would otherwise stay: the pointer never leaves a closed bubble.
  for (TImage* area : {ImgYes.get(), imgNo.get()}) {
    if (TApplication::Instance().CursorOverrideOwner() == area) ImgYesMouseLeave(area);
  }
  if (quit) {
    // The loop that ends the program must see it too.
    PostQuitMessage(static_cast<int>(msg.wParam));
    return 0;
  }
  return modalResult_;
}

void TfrmMessageDialog::EraseBackground(HDC dc, HWND forChild) {
  RECT client;
  GetClientRect(hwnd_, &client);
  UniqueAny<HBRUSH, nullptr, handle_detail::DeleteGdiObject> red(CreateSolidBrush(kKeyColour));
  FillRect(dc, &client, red.get());
  // Beneath the hit areas lies the picture; the picture's own control draws it over plain red.
  if (!imgBackground || forChild == imgBackground->Handle() || imgBackground->Picture().Empty()) return;
  const TBitmap& picture = imgBackground->Picture();
  UniqueMemoryDc source(CreateCompatibleDC(dc));
  ScopedSelectObject select(source.get(), picture.Handle());
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, 0, 0, picture.Width(), picture.Height(), source.get(), 0, 0, picture.Width(), picture.Height(), blend);
}

LRESULT TfrmMessageDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      return 1;
    case WM_KEYDOWN:
      // Escape answers No, so a bubble whose buttons lie off-screen never traps the user.
      if (wParam == VK_ESCAPE) {
        modalResult_ = mrNo;
        return 0;
      }
      break;
    case WM_CLOSE:
      modalResult_ = mrNo;
      return 0;
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}
