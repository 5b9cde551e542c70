#pragma once

#include "common/unique_handle.h"
#include "ui/window.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A 16 x 16 icon from a PNG picture of the resource store, with a 1-bit mask: pixels of alpha
// 128 or more are opaque.
UniqueHIcon CreateTrayIconFromPng(const std::wstring& name);

// How a message was let through the filter that keeps messages of lower-rights processes from an
// elevated one: for one window (Windows 7 on), for the whole process (Vista), or not at all
// (no such filter before Vista, or the call failed).
enum class TMessageFilterChange { None, Window, Process };
// Lets `message` reach `window` from processes of any rights, with the newest function the system
// has, looked up at run time.
TMessageFilterChange AllowThroughMessageFilter(HWND window, UINT message) noexcept;

// The notification-area icon: an image list of icons, one of them shown. It lives on a hidden
// window of its own that receives the icon's mouse messages and the taskbar's restart, after
// which a visible icon is added again.
class TTrayIcon : public Window<TTrayIcon> {
public:
  static constexpr wchar_t kClassName[] = L"TTrayIconWindow";
  static constexpr UINT kCallbackMessage = WM_APP + 0x71;

  explicit TTrayIcon(std::vector<UniqueHIcon> images);
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;
  // Removes a visible icon.
  ~TTrayIcon();

  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool value);
  int IconIndex() const noexcept { return iconIndex_; }
  // Showing the index already shown changes nothing.
  void SetIconIndex(int index);
  // How the taskbar's restart announcement was let through the message filter.
  TMessageFilterChange TaskbarFilter() const noexcept { return taskbarFilter_; }

  std::function<void()> OnDblClick;
  // The right button was released over the icon; the point is the pointer's.
  std::function<void(POINT)> OnRightRelease;

private:
  friend class Window<TTrayIcon>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // NIM_ADD, NIM_MODIFY or NIM_DELETE for this icon.
  bool Notify(DWORD operation) noexcept;

  std::vector<UniqueHIcon> images_;
  UINT taskbarCreated_ = 0;
  TMessageFilterChange taskbarFilter_ = TMessageFilterChange::None;
  bool visible_ = false;
  int iconIndex_ = 0;
};
