#pragma once

#include <windows.h>

#include <functional>

// Takes over the messages of a window that is not ours to derive from, by putting a window
// procedure of its own in front of the window's. It does the work of comctl32's
// SetWindowSubclass without loading comctl32, which costs a process about 2 MiB under Wine, for
// the one window the skin reshapes. One hook per window.
//
// Letting go puts the earlier procedure back only while this hook is still the window's
// procedure. When something has hooked the window since, a record stays behind that passes the
// window's messages on until the window's end, so neither hook loses its messages.
class TWindowHook {
public:
  // Gets every message the window receives but its last one; it passes on what it does not
  // swallow with CallPrevious.
  using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

  TWindowHook() = default;
  TWindowHook(const TWindowHook&) = delete;
  TWindowHook& operator=(const TWindowHook&) = delete;
  ~TWindowHook() { Detach(); }

  // False when the window is not there, is hooked already, or its procedure cannot be replaced;
  // std::bad_alloc when its record cannot be made.
  // `onGone` runs as the window receives its last message (WM_NCDESTROY), once the hook has let
  // go, before the message reaches the earlier procedure.
  bool Attach(HWND window, Handler handler, std::function<void()> onGone);
  void Detach() noexcept;
  bool Attached() const noexcept { return record_ != nullptr; }

  // The window's procedure from before this hook.
  LRESULT CallPrevious(UINT message, WPARAM wParam, LPARAM lParam) const noexcept;

private:
  struct Record {
    WNDPROC previous;
    TWindowHook* hook;
  };
  static LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  HWND window_ = nullptr;
  WNDPROC previous_ = nullptr;
  Record* record_ = nullptr;
  Handler handler_;
  std::function<void()> onGone_;
};
