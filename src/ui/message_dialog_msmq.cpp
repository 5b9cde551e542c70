#include "ui/message_dialog_msmq.h"

#include "common/error.h"
#include "common/texts.h"
#include "common/unique_handle.h"
#include "ui/png_resource.h"
#include "ui/premultiply_alpha.h"

namespace {

constexpr int kDesignWidth = 310;
constexpr int kDesignHeight = 142;

}  // namespace

TfrmMessageDialogMSMQ::TfrmMessageDialogMSMQ(HWND owner) {
  RegisterWindowClass();
  // Owned, so it has no taskbar button of its own and goes with the main window.
  if (!CreateWindowExW(WS_EX_TOPMOST, kClassName, texts::kMsmqNoticeCaption, WS_POPUP, 0, 0, kDesignWidth,
                       kDesignHeight, owner, nullptr, GetModuleHandleW(nullptr), this)) {
    throw Exception(L"Cannot create the MSMQ notice");
  }
  FormCreate();
}

TfrmMessageDialogMSMQ::~TfrmMessageDialogMSMQ() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void TfrmMessageDialogMSMQ::FormCreate() { FResourceName = texts::kMsmqInstallPicture; }

void TfrmMessageDialogMSMQ::Show() {
  FormShow();
  if (!shownBefore_) {
    // Centred on the work area at the picture's size, the first time only.
    shownBefore_ = true;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT bounds{};
    GetWindowRect(hwnd_, &bounds);
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - (bounds.right - bounds.left)) / 2,
                 work.top + (work.bottom - work.top - (bounds.bottom - bounds.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(hwnd_, SW_SHOW);
}

void TfrmMessageDialogMSMQ::Close() noexcept { ShowWindow(hwnd_, SW_HIDE); }

void TfrmMessageDialogMSMQ::FormShow() {
  // The main window owns the taskbar button, so there is no hidden application window to hide.
  SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_LAYERED);
  const PngImage picture = LoadPngResourcePicture(GetModuleHandleW(nullptr), FResourceName);

  const int width = static_cast<int>(picture.width);
  const int height = static_cast<int>(picture.height);
  TBitmap bitmap;
  bitmap.SetPixels(width, height, PremultiplyAlpha(picture));
  RECT bounds{};
  GetWindowRect(hwnd_, &bounds);
  SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  UniqueWindowDc screen(nullptr);
  UniqueMemoryDc source(CreateCompatibleDC(screen.get()));
  ScopedSelectObject select(source.get(), bitmap.Handle());
  POINT destination{bounds.left, bounds.top};
  SIZE size{width, height};
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(hwnd_, screen.get(), &destination, &size, source.get(), &origin, 0, &blend, ULW_ALPHA);
}

LRESULT TfrmMessageDialogMSMQ::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefaultProc(message, wParam, lParam);
}
