#pragma once

// Move-only owners for Win32 handles: each kind names its invalid value and its close function,
// so no handle is closed by hand anywhere else and none survives an error path.

#include <winsock2.h>
#include <windows.h>

#include <utility>

template <typename T, T Invalid, auto Close>
class UniqueAny {
public:
  UniqueAny() noexcept = default;
  explicit UniqueAny(T value) noexcept : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Invalid; }

  void reset(T value = Invalid) noexcept {
    if (value_ != Invalid) Close(value_);
    value_ = value;
  }
  [[nodiscard]] T release() noexcept { return std::exchange(value_, Invalid); }

  // For functions that hand back a handle through an out pointer; the old one is closed first.
  T* put() noexcept {
    reset();
    return &value_;
  }

private:
  T value_ = Invalid;
};

namespace handle_detail {
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseRegKey(HKEY h) noexcept { ::RegCloseKey(h); }
inline void DeleteGdiObject(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void DestroyIconHandle(HICON h) noexcept { ::DestroyIcon(h); }
inline void DestroyMenuHandle(HMENU h) noexcept { ::DestroyMenu(h); }
inline void DestroyWindowHandle(HWND h) noexcept { ::DestroyWindow(h); }
inline void DeleteMemoryDc(HDC h) noexcept { ::DeleteDC(h); }
inline void FreeLibraryHandle(HMODULE h) noexcept { ::FreeLibrary(h); }
inline void CloseSocketHandle(SOCKET s) noexcept { ::closesocket(s); }
}  // namespace handle_detail

using UniqueHandle = UniqueAny<HANDLE, nullptr, handle_detail::CloseKernelHandle>;
using UniqueHKey = UniqueAny<HKEY, nullptr, handle_detail::CloseRegKey>;
using UniqueHBitmap = UniqueAny<HBITMAP, nullptr, handle_detail::DeleteGdiObject>;
using UniqueHRgn = UniqueAny<HRGN, nullptr, handle_detail::DeleteGdiObject>;
using UniqueHFont = UniqueAny<HFONT, nullptr, handle_detail::DeleteGdiObject>;
using UniqueHIcon = UniqueAny<HICON, nullptr, handle_detail::DestroyIconHandle>;
using UniqueHMenu = UniqueAny<HMENU, nullptr, handle_detail::DestroyMenuHandle>;
using UniqueHWnd = UniqueAny<HWND, nullptr, handle_detail::DestroyWindowHandle>;
using UniqueMemoryDc = UniqueAny<HDC, nullptr, handle_detail::DeleteMemoryDc>;
using UniqueHModule = UniqueAny<HMODULE, nullptr, handle_detail::FreeLibraryHandle>;
// Whoever uses it links ws2_32.
using UniqueSocket = UniqueAny<SOCKET, INVALID_SOCKET, handle_detail::CloseSocketHandle>;

// A window's device context, released to the window it came from.
class UniqueWindowDc {
public:
  explicit UniqueWindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  UniqueWindowDc(const UniqueWindowDc&) = delete;
  UniqueWindowDc& operator=(const UniqueWindowDc&) = delete;
  ~UniqueWindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a DC for a scope and puts the old one back.
class ScopedSelectObject {
public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() {
    if (old_) ::SelectObject(dc_, old_);
  }

private:
  HDC dc_;
  HGDIOBJ old_;
};
