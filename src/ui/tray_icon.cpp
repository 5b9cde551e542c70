#include "ui/tray_icon.h"

#include "common/error.h"
#include "ui/png_resource.h"

#include <shellapi.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kTraySize = 16;
constexpr UINT kIconId = 1;
constexpr UINT kRightReleaseMessage = TTrayIcon::kCallbackMessage + 1;

// The message filter's "let it through" for each of its two functions (MSGFLT_ALLOW, MSGFLT_ADD).
constexpr DWORD kFilterAllow = 1;
constexpr DWORD kFilterAdd = 1;
using ChangeWindowMessageFilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);

}  // namespace

TMessageFilterChange AllowThroughMessageFilter(HWND window, UINT message) noexcept {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) return TMessageFilterChange::None;
  // Through void(*)(), which GCC accepts as a cast between unrelated function types.
  if (const auto perWindow = reinterpret_cast<ChangeWindowMessageFilterExFn>(
          reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
    return perWindow(window, message, kFilterAllow, nullptr) ? TMessageFilterChange::Window
                                                             : TMessageFilterChange::None;
  }
  if (const auto processWide = reinterpret_cast<ChangeWindowMessageFilterFn>(
          reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilter")))) {
    return processWide(message, kFilterAdd) ? TMessageFilterChange::Process : TMessageFilterChange::None;
  }
  return TMessageFilterChange::None;
}

UniqueHIcon CreateTrayIconFromPng(const std::wstring& name) {
  const PngImage picture = LoadPngResourcePicture(GetModuleHandleW(nullptr), name);
  if (picture.width != kTraySize || picture.height != kTraySize) {
    throw Exception(L"A tray picture must be 16 x 16: " + name);
  }
  // Colour as plain 32-bit pixels with alpha 0 (the mask decides), mask rows word-aligned.
  std::vector<std::uint32_t> colour(kTraySize * kTraySize);
  std::vector<std::uint8_t> mask(kTraySize * 2, 0);
  for (int y = 0; y < kTraySize; ++y) {
    for (int x = 0; x < kTraySize; ++x) {
      const std::uint8_t* p = &picture.rgba[(static_cast<std::size_t>(y) * kTraySize + x) * 4];
      const bool opaque = p[3] >= 128;
      colour[static_cast<std::size_t>(y) * kTraySize + x] =
          opaque ? (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2] : 0;
      if (!opaque) mask[static_cast<std::size_t>(y) * 2 + x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
    }
  }
  UniqueHBitmap maskBitmap(CreateBitmap(kTraySize, kTraySize, 1, 1, mask.data()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kTraySize;
  info.bmiHeader.biHeight = -kTraySize;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueHBitmap colourBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!maskBitmap || !colourBitmap || !bits) throw Exception(L"Cannot create the tray icon's bitmaps");
  std::copy(colour.begin(), colour.end(), static_cast<std::uint32_t*>(bits));
  ICONINFO iconInfo{TRUE, 0, 0, maskBitmap.get(), colourBitmap.get()};
  UniqueHIcon icon(CreateIconIndirect(&iconInfo));
  if (!icon) throw Exception(L"Cannot create the tray icon");
  return icon;
}

TTrayIcon::TTrayIcon(std::vector<UniqueHIcon> images) : images_(std::move(images)) {
  if (images_.empty()) throw Exception(L"A tray icon needs at least one image");
  RegisterWindowClass();
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  // A hidden top-level window: a message-only one would miss the taskbar's broadcast.
  if (!CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                       GetModuleHandleW(nullptr), this)) {
    throw Exception(L"Cannot create the tray icon's window");
  }
  // An elevated program hears nothing from an Explorer with ordinary rights unless it lets the
  // message through, and would then never add its icon again after a restart.
  if (taskbarCreated_ != 0) taskbarFilter_ = AllowThroughMessageFilter(hwnd_, taskbarCreated_);
}

TTrayIcon::~TTrayIcon() {
  if (visible_) Notify(NIM_DELETE);
  if (hwnd_) DestroyWindow(hwnd_);
}

bool TTrayIcon::Notify(DWORD operation) noexcept {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = hwnd_;
  data.uID = kIconId;
  if (operation != NIM_DELETE) {
    // No tooltip: the application title, which it would show, is empty.
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = images_[static_cast<std::size_t>(iconIndex_)].get();
  }
  return Shell_NotifyIconW(operation, &data) != FALSE;
}

void TTrayIcon::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  // A failed add (no notification area yet) is made good when the taskbar announces itself.
  Notify(value ? NIM_ADD : NIM_DELETE);
}

void TTrayIcon::SetIconIndex(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= images_.size() || index == iconIndex_) return;
  iconIndex_ = index;
  if (visible_) Notify(NIM_MODIFY);
}

LRESULT TTrayIcon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kCallbackMessage) {
    // The icon's mouse message; a single left click does nothing.
    switch (LOWORD(lParam)) {
      case WM_LBUTTONDBLCLK:
        if (OnDblClick) OnDblClick();
        break;
      case WM_RBUTTONUP: {
        // The menu's modal loop runs after the shell's notification has returned, so the shell is
        // never held waiting on it.
        POINT point{};
        GetCursorPos(&point);
        PostMessageW(hwnd_, kRightReleaseMessage, 0, MAKELPARAM(point.x, point.y));
        break;
      }
      default:
        break;
    }
    return 0;
  }
  if (message == kRightReleaseMessage) {
    if (OnRightRelease) OnRightRelease({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
    return 0;
  }
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    // Explorer restarted with an empty notification area.
    if (visible_) Notify(NIM_ADD);
    return 0;
  }
  return DefaultProc(message, wParam, lParam);
}
