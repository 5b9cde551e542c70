#include "ui/image_control.h"

#include "common/error.h"
#include "common/unique_handle.h"
#include "ui/application.h"

#include <commctrl.h>

#include <algorithm>

void PaintParentBackground(HWND child, HDC dc) {
  const HWND parent = GetParent(child);
  if (!parent) return;
  POINT origin{0, 0};
  MapWindowPoints(child, parent, &origin, 1);
  POINT old;
  SetViewportOrgEx(dc, -origin.x, -origin.y, &old);
  // The child rides along in lParam, so a parent can tell whose background it paints.
  SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
  SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

TImage::TImage(HWND parent, int left, int top, int width, int height, const std::wstring& text, bool visible) {
  Create(parent, left, top, width, height, text, visible);
}

TImage* TImage::CreateOwnedByParent(HWND parent, int left, int top, int width, int height) {
  auto* image = new TImage();
  try {
    image->Create(parent, left, top, width, height, L"", true);
  } catch (...) {
    delete image;
    throw;
  }
  image->ownedByParent_ = true;
  return image;
}

void TImage::Create(HWND parent, int left, int top, int width, int height, const std::wstring& text, bool visible) {
  RegisterWindowClass();
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0);
  if (!CreateWindowExW(0, kClassName, text.c_str(), style, left, top, width, height, parent, nullptr,
                       GetModuleHandleW(nullptr), this)) {
    throw Exception(L"Cannot create an image control");
  }
  // Later controls paint above earlier ones.
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TImage::~TImage() {
  // Watchers may stop watching while being told.
  auto watchers = std::move(watchers_);
  for (auto& [key, onRelease] : watchers) onRelease();
  if (hwnd_) {
    ownedByParent_ = false;
    DestroyWindow(hwnd_);
  }
}

void TImage::OnFinalMessage() noexcept {
  if (ownedByParent_) delete this;
}

void TImage::WatchRelease(const void* key, std::function<void()> onRelease) {
  watchers_.emplace_back(key, std::move(onRelease));
}

void TImage::StopWatching(const void* key) noexcept {
  std::erase_if(watchers_, [key](const auto& w) { return w.first == key; });
}

void TImage::SetHint(const std::wstring& hint) {
  RemoveHint();
  hint_ = hint;
  // Until the first hint is wanted there is no hint window; each control then joins it as the
  // pointer first comes to it.
  if (!hint_.empty() && hwnd_ && TApplication::Instance().HasHintWindow()) AddHint();
}

void TImage::AddHint() {
  // The tool is the control itself, and the tooltip watches its mouse messages, so the hint
  // follows the control when it moves to another window.
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  tool.lpszText = hint_.data();
  if (!SendMessageW(TApplication::Instance().HintWindow(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
    throw Exception(L"Cannot add a hint");
  }
  hintAdded_ = true;
}

void TImage::AddHintAtPointer(WPARAM wParam, LPARAM lParam) noexcept {
  hintTried_ = true;
  try {
    AddHint();
  } catch (...) {
    // The hint is not shown; the control works on without it.
    return;
  }
  // The tooltip watches the control's messages from now on; this first move it is told of.
  MSG move{hwnd_, WM_MOUSEMOVE, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
  const DWORD position = GetMessagePos();
  move.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  SendMessageW(TApplication::Instance().HintWindow(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void TImage::RemoveHint() noexcept {
  hintTried_ = false;
  if (!hintAdded_ || !hwnd_) return;
  hintAdded_ = false;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  try {
    SendMessageW(TApplication::Instance().HintWindow(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  } catch (...) {
    // No hint window: there is no tool to remove.
  }
}

void TImage::SetPicture(const TBitmap& picture) {
  picture_ = picture;
  ApplyAutoSize();
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void TImage::SetAutoSize(bool value) {
  autoSize_ = value;
  ApplyAutoSize();
}

void TImage::SetStretch(bool value) {
  stretch_ = value;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void TImage::ApplyAutoSize() {
  if (autoSize_ && hwnd_ && !picture_.Empty()) {
    SetWindowPos(hwnd_, nullptr, 0, 0, picture_.Width(), picture_.Height(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TImage::SetVisible(bool visible) {
  if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

bool TImage::Visible() const noexcept {
  return hwnd_ && (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TImage::SetBounds(int left, int top, int width, int height) {
  if (hwnd_) SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT TImage::BoundsRect() const {
  RECT rect{};
  if (!hwnd_) return rect;
  GetWindowRect(hwnd_, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void TImage::OnPaint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(hwnd_, &ps);
  RECT client;
  GetClientRect(hwnd_, &client);
  const int width = client.right;
  const int height = client.bottom;
  if (width > 0 && height > 0) {
    // Composed off screen, so the background and the picture reach the screen in one step.
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    UniqueHBitmap buffer(CreateCompatibleBitmap(dc, width, height));
    if (memory && buffer) {
      ScopedSelectObject selectBuffer(memory.get(), buffer.get());
      PaintParentBackground(hwnd_, memory.get());
      if (!picture_.Empty()) {
        UniqueMemoryDc source(CreateCompatibleDC(dc));
        ScopedSelectObject selectPicture(source.get(), picture_.Handle());
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        const int w = stretch_ ? width : std::min(width, picture_.Width());
        const int h = stretch_ ? height : std::min(height, picture_.Height());
        const int sw = stretch_ ? picture_.Width() : w;
        const int sh = stretch_ ? picture_.Height() : h;
        AlphaBlend(memory.get(), 0, 0, w, h, source.get(), 0, 0, sw, sh, blend);
      }
      BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    }
  }
  EndPaint(hwnd_, &ps);
}

LRESULT TImage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted with the picture
    case WM_MOUSEMOVE:
      if (!hint_.empty() && !hintAdded_ && !hintTried_) AddHintAtPointer(wParam, lParam);
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
        if (OnMouseEnter) OnMouseEnter();
      }
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (OnMouseLeave) OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetCapture(hwnd_);
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        ReleaseCapture();
        RECT client;
        GetClientRect(hwnd_, &client);
        const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        // A click is a press and a release on the control.
        if (PtInRect(&client, point) && OnClick) OnClick();
      }
      return 0;
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    case WM_CONTEXTMENU:
      if (OnContextPopup) {
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        // From the keyboard the point is (-1, -1): the menu opens at the pointer.
        if (point.x == -1 && point.y == -1) GetCursorPos(&point);
        OnContextPopup(point);
        return 0;
      }
      break;
    case WM_DESTROY:
      RemoveHint();
      hint_.clear();
      break;
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}
