#pragma once

#include "ui/application.h"

#include <windows.h>

#include <string>

// Base of every window class of the program: `this` lives in GWLP_USERDATA from WM_NCCREATE,
// and the window procedure is the one place where errors stop. An error that leaves a handler
// reaches the default error handler and the program goes on.
template <typename Derived>
class Window {
public:
  HWND Handle() const noexcept { return hwnd_; }

protected:
  // Registers the window class named Derived::kClassName, once per process, with this class's
  // window procedure.
  static void RegisterWindowClass(UINT style = 0, HICON icon = nullptr, HICON smallIcon = nullptr) {
    static const bool registered = [&] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.style = style;
      wc.lpfnWndProc = &Window::WindowProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hIcon = icon;
      wc.hIconSm = smallIcon;
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.lpszClassName = Derived::kClassName;
      if (!RegisterClassExW(&wc)) {
        throw Exception(std::wstring(L"Cannot register the window class ") + Derived::kClassName);
      }
      return true;
    }();
    (void)registered;
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    Derived* self = nullptr;
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      self = static_cast<Derived*>(create->lpCreateParams);
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
      self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
      // A window object that belongs to its window (not to other code) goes with it.
      if constexpr (requires(Derived& d) { d.OnFinalMessage(); }) self->OnFinalMessage();
      return result;
    }
    // The application-wide pointer, while it is set, is every window's pointer.
    if (message == WM_SETCURSOR && ApplyCursorOverride()) return TRUE;
    try {
      return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
      TApplication::Instance().HandleException();
      return 0;
    }
  }

  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }

  HWND hwnd_ = nullptr;
};
