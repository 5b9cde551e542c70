#include "ui/transparent_form.h"

#include "common/error.h"
#include "ui/application.h"
#include "ui/image_control.h"
#include "ui/label_control.h"
#include "ui/region_scan.h"

#include <algorithm>
#include <vector>

namespace {

// The caption, border, system menu, size box and minimise and maximise boxes.
constexpr LONG_PTR kKeepWithoutFrame = static_cast<LONG_PTR>(0xFF30FFFFu);
// Everything of the creation style but visible, disabled and maximised.
constexpr LONG_PTR kCreationBitsToRestore = static_cast<LONG_PTR>(0xE6FFFFFFu);

RECT ScreenBounds(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

// The direct children of `parent` in painting order: the first painted (lowest) first.
std::vector<HWND> ChildrenInPaintOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  std::reverse(children.begin(), children.end());
  return children;
}

}  // namespace

UniqueHRgn CreateRegionFromBitmap(const TBitmap& bitmap, COLORREF keyColour, bool useAlpha) {
  if (bitmap.Width() == 0 || bitmap.Height() == 0) return UniqueHRgn();
  if ((keyColour & 0xFF000000u) == 0xFF000000u) keyColour = GetSysColor(static_cast<int>(keyColour & 0xFF));
  const std::uint32_t keyRgb = (std::uint32_t{GetRValue(keyColour)} << 16) |
                               (std::uint32_t{GetGValue(keyColour)} << 8) | GetBValue(keyColour);
  UniqueHRgn result;
  for (const RegionRun& run : ScanRegionRuns(bitmap.Pixels(), bitmap.Width(), bitmap.Height(), keyRgb, useAlpha)) {
    UniqueHRgn piece(CreateRectRgn(run.left, run.y, run.right, run.y + 1));
    if (!piece) throw Exception(L"Cannot create a window region");
    if (!result) {
      result = std::move(piece);
    } else {
      CombineRgn(result.get(), result.get(), piece.get(), RGN_OR);
    }
  }
  return result;
}

// ---------------------------------------------------------------------------------------------

TJvControlForm::TJvControlForm(TJvTransparentForm& component, HWND owner) : component_(component), owner_(owner) {
  RegisterWindowClass();
  // An owned popup: above its owner, no taskbar button, hidden and shown with the owner's
  // minimising and restoring.
  if (!CreateWindowExW(WS_EX_LAYERED, kClassName, L"", WS_POPUP, 0, 0, 0, 0, owner, nullptr,
                       GetModuleHandleW(nullptr), this)) {
    throw Exception(L"Cannot create the control form");
  }
}

TJvControlForm::~TJvControlForm() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void TJvControlForm::SetKeyColour(COLORREF colour) {
  keyColour_ = colour;
  brush_.reset(CreateSolidBrush(colour));
  SetLayeredWindowAttributes(hwnd_, colour, 255, LWA_COLORKEY);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TJvControlForm::EraseBackground(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, brush_.get());
  // Under each visible control, the piece of the mask that the owner shows there, so the
  // controls' soft edges blend with the skin and not with the key colour.
  const TBitmap& mask = component_.Mask();
  if (mask.Empty()) return;
  UniqueMemoryDc source(CreateCompatibleDC(dc));
  ScopedSelectObject select(source.get(), mask.Handle());
  for (HWND child : ChildrenInPaintOrder(hwnd_)) {
    if (!IsWindowVisible(child)) continue;
    RECT bounds = ScreenBounds(child);
    MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&bounds), 2);
    BitBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, source.get(),
           bounds.left, bounds.top, SRCCOPY);
  }
}

LRESULT TJvControlForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd_, &ps);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_NCHITTEST: {
      // The pointer belongs to the window beneath (the owner) except over a control.
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ScreenToClient(hwnd_, &point);
      const HWND child =
          ChildWindowFromPointEx(hwnd_, point, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED | CWP_SKIPTRANSPARENT);
      return child && child != hwnd_ ? HTCLIENT : HTTRANSPARENT;
    }
    case WM_CLOSE:
      // Closing the control form closes its owner; the control form itself stays.
      return SendMessageW(owner_, WM_CLOSE, 0, 0);
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------

TJvTransparentForm::TJvTransparentForm(HWND owner, std::function<LONG_PTR()> creationStyle)
    : creationStyle_(std::move(creationStyle)) {
  FComponentOwner = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  if (!FComponentOwner) return;
  const auto onMessage = [this](UINT message, WPARAM wParam, LPARAM lParam) {
    return OwnerMessage(message, wParam, lParam);
  };
  const auto onOwnerGone = [this] {
    // The owner goes first: forget it, and the control form that went with it.
    FComponentOwner = nullptr;
    FControlForm.reset();
  };
  if (!ownerHook_.Attach(FComponentOwner, onMessage, onOwnerGone)) {
    throw Exception(L"Cannot take over the window's messages");
  }
}

TJvTransparentForm::~TJvTransparentForm() {
  if (FComponentOwner) {
    // The owner is still there (its destruction would have unhooked this component).
    try {
      SetActive(false);
    } catch (...) {
      // Giving the window back its frame failed; it goes on as it is.
    }
    Unhook();
  }
  if (FMaskFromImage) FMaskFromImage->StopWatching(this);
  FMaskFromImage = nullptr;
  FControlForm.reset();
}

void TJvTransparentForm::Unhook() noexcept {
  ownerHook_.Detach();
  FComponentOwner = nullptr;
}

HWND TJvTransparentForm::ControlFormHandle() const noexcept {
  return FControlForm ? FControlForm->Handle() : nullptr;
}

void TJvTransparentForm::Loaded() {
  loading_ = false;
  UpdateMaskFromImage();
  ApplyTransparency();
}

void TJvTransparentForm::Update() {
  UpdateMaskFromImage();
  ApplyTransparency();
}

void TJvTransparentForm::SetActive(bool value) {
  if (value == FActive) return;
  if (FActive) RemoveTransparency();
  FActive = value;
  if (value) ApplyTransparency();
}

void TJvTransparentForm::SetMode(TJvTransparentFormMode value) {
  if (value == FMode) return;
  if (FActive) RemoveTransparency();
  FMode = value;
  if (FActive) ApplyTransparency();
}

void TJvTransparentForm::SetMask(const TBitmap& value) {
  if (&value == &FMask) return;
  FMask = value;
  ApplyTransparency();
}

void TJvTransparentForm::SetMaskFromImage(TImage* value) {
  if (value == FMaskFromImage) return;
  if (FMaskFromImage) FMaskFromImage->StopWatching(this);
  FMaskFromImage = value;
  if (FMaskFromImage) FMaskFromImage->WatchRelease(this, [this] { FMaskFromImage = nullptr; });
  UpdateMaskFromImage();
}

void TJvTransparentForm::SetAutoSize(bool value) {
  FAutoSize = value;
  if (value && FActive && !loading_ && !FMask.Empty() && FComponentOwner) {
    SetWindowPos(FComponentOwner, nullptr, 0, 0, FMask.Width(), FMask.Height(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TJvTransparentForm::SetLayeredTransparentControlColor(COLORREF value) {
  if (value == FLayeredTransparentControlColor) return;
  FLayeredTransparentControlColor = value;
  if (FControlForm) FControlForm->SetKeyColour(value);
}

void TJvTransparentForm::SetLayeredAlphaValue(std::int32_t value) {
  value = std::clamp(value, 0, 255);
  if (value == FLayeredAlphaValue) return;
  FLayeredAlphaValue = value;
  if (FMode == TJvTransparentFormMode::tfmLayeredWindow) ApplyTransparency();
}

void TJvTransparentForm::UpdateMaskFromImage() {
  if (loading_ || !FMaskFromImage || FMaskFromImage->Picture().Empty()) return;
  // A DIB of its own, not the control's shared picture: the mask is selected into a device
  // context while the window system takes the layered window's pixels, and a bitmap can be
  // selected into only one context at a time (sharing it broke the skin when stay-on-top
  // re-applied it).
  const TBitmap& picture = FMaskFromImage->Picture();
  const auto pixels = picture.Pixels();
  FMask.SetPixels(picture.Width(), picture.Height(),
                  std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(pixels.data()), pixels.size_bytes()));
}

void TJvTransparentForm::MoveControls(HWND source, HWND target) {
  for (HWND child : ChildrenInPaintOrder(source)) {
    if (TLabel* label = TLabel::FromHandle(child); label && !label->Transparent()) label->SetTransparent(true);
    SetParent(child, target);
    // Appended above the ones moved before it, so the painting order stays as it was.
    SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TJvTransparentForm::FollowOwner() {
  if (!FControlForm || !FComponentOwner) return;
  const RECT bounds = ScreenBounds(FComponentOwner);
  SetWindowPos(FControlForm->Handle(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TJvTransparentForm::ApplyTransparency(bool ownerShowing) {
  if (!FActive || loading_ || !FComponentOwner) return;
  const HWND owner = FComponentOwner;
  SetWindowLongPtrW(owner, GWL_STYLE, GetWindowLongPtrW(owner, GWL_STYLE) & kKeepWithoutFrame);

  switch (FMode) {
    case TJvTransparentFormMode::tfmWindowRegion:
    case TJvTransparentFormMode::tfmWindowRegionAlphaChannel: {
      UniqueHRgn region;
      if (!FMask.Empty()) {
        const bool useAlpha = FMode == TJvTransparentFormMode::tfmWindowRegionAlphaChannel;
        const std::uint32_t corner = FMask.Pixels()[0];
        const COLORREF key = RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF);
        region = CreateRegionFromBitmap(FMask, key, useAlpha);
      }
      // On success the system owns the region; on failure it is deleted here.
      if (SetWindowRgn(owner, region.get(), TRUE)) static_cast<void>(region.release());
      break;
    }
    case TJvTransparentFormMode::tfmLayeredWindow: {
      if (FMask.Empty()) break;
      if (!FControlForm) FControlForm = std::make_unique<TJvControlForm>(*this, owner);
      FControlForm->SetKeyColour(FLayeredTransparentControlColor);
      FollowOwner();
      MoveControls(owner, FControlForm->Handle());
      SetWindowLongPtrW(owner, GWL_EXSTYLE, GetWindowLongPtrW(owner, GWL_EXSTYLE) | WS_EX_LAYERED);
      {
        UniqueMemoryDc source(CreateCompatibleDC(nullptr));
        ScopedSelectObject select(source.get(), FMask.Handle());
        SIZE size{FMask.Width(), FMask.Height()};
        POINT origin{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(FLayeredAlphaValue), AC_SRC_ALPHA};
        // The owner takes the mask's size; the result is not examined.
        UpdateLayeredWindow(owner, nullptr, nullptr, &size, source.get(), &origin, 0, &blend, ULW_ALPHA);
      }
      FollowOwner();
      if (ownerShowing || IsWindowVisible(owner)) ShowWindow(FControlForm->Handle(), SW_SHOWNOACTIVATE);
      break;
    }
  }

  if (FAutoSize && !FMask.Empty()) {
    SetWindowPos(owner, nullptr, 0, 0, FMask.Width(), FMask.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TJvTransparentForm::RemoveTransparency() {
  if (!FActive || loading_ || !FComponentOwner || !IsWindow(FComponentOwner)) return;
  const HWND owner = FComponentOwner;
  const LONG_PTR created = creationStyle_ ? creationStyle_() : 0;
  SetWindowLongPtrW(owner, GWL_STYLE, GetWindowLongPtrW(owner, GWL_STYLE) | (created & kCreationBitsToRestore));

  switch (FMode) {
    case TJvTransparentFormMode::tfmWindowRegion:
    case TJvTransparentFormMode::tfmWindowRegionAlphaChannel:
      SetWindowRgn(owner, nullptr, TRUE);
      break;
    case TJvTransparentFormMode::tfmLayeredWindow:
      SetWindowLongPtrW(owner, GWL_EXSTYLE, GetWindowLongPtrW(owner, GWL_EXSTYLE) & ~LONG_PTR{WS_EX_LAYERED});
      if (FControlForm) MoveControls(FControlForm->Handle(), owner);
      FControlForm.reset();
      RedrawWindow(owner, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
      break;
  }
}

LRESULT TJvTransparentForm::OwnerMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    return OwnerWndProc(message, wParam, lParam);
  } catch (...) {
    TApplication::Instance().HandleException();
    return 0;
  }
}

LRESULT TJvTransparentForm::OwnerWndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // A press anywhere that no control covers drags the window.
  if (FActive && FMovableForm && message == WM_NCHITTEST) return HTCAPTION;
  const LRESULT result = ownerHook_.CallPrevious(message, wParam, lParam);
  if (!FActive) return result;
  switch (message) {
    case WM_MOVE:
    case WM_SIZE:
    case WM_SIZING:
    case WM_MOVING:
      FollowOwner();
      break;
    case WM_SETFOCUS:
      if (FControlForm && IsWindowVisible(FControlForm->Handle())) {
        SendMessageW(FControlForm->Handle(), WM_SETFOCUS, wParam, lParam);
      }
      break;
    case WM_WINDOWPOSCHANGED:
      // The owner is now on screen. The control form was shown just before it (at WM_SHOWWINDOW),
      // which an X display stacks beneath the owner and Wine leaves unkeyed: show it once more and
      // key it again, now above the owner. On Windows this changes nothing that can be seen.
      if (FControlForm && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) &&
          IsWindowVisible(FControlForm->Handle())) {
        ShowWindow(FControlForm->Handle(), SW_HIDE);
        ShowWindow(FControlForm->Handle(), SW_SHOWNOACTIVATE);
        FControlForm->SetKeyColour(FLayeredTransparentControlColor);
      }
      break;
    case WM_SHOWWINDOW:
      if (!wParam) {
        if (FControlForm) ShowWindow(FControlForm->Handle(), SW_HIDE);
      } else if (FMode == TJvTransparentFormMode::tfmLayeredWindow) {
        // Controls added to the owner since the last apply move over, and the control form shows.
        ApplyTransparency(true);
      }
      break;
    default:
      break;
  }
  return result;
}
