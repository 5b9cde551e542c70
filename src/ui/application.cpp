#include "ui/application.h"

#include <commctrl.h>

#include <new>

namespace {
TApplication* gApplication = nullptr;

std::wstring WidenAscii(const char* text) {
  std::wstring out;
  for (; *text; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return out;
}

// comctl32 serves the hints alone. It is loaded with the first hint rather than imported: under
// Wine its load costs a process about 2 MiB and the start a few dozen milliseconds, for a hint
// that many runs never show. The program's manifest picks version 6 for this load too.
bool LoadCommonControls() noexcept {
  static const bool loaded = [] {
    const HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) return false;
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init =
        reinterpret_cast<InitFunction>(reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
    const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    return init && init(&controls);
  }();
  return loaded;
}
}  // namespace

TApplication& TApplication::Initialize() {
  if (!gApplication) gApplication = new TApplication();
  return *gApplication;
}

TApplication& TApplication::Instance() noexcept {
  // Tests and the entry both initialise first; a late caller still gets a working object.
  static TApplication fallback;
  return gApplication ? *gApplication : fallback;
}

void TApplication::SetHintPause(UINT milliseconds) noexcept {
  hintPause_ = milliseconds;
  if (hintWindow_) {
    SendMessageW(hintWindow_, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(static_cast<WORD>(milliseconds), 0));
  }
}

HWND TApplication::HintWindow() {
  if (HasHintWindow()) return hintWindow_;
  if (!LoadCommonControls()) throw Exception(L"Cannot create the hint window");
  hintWindow_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!hintWindow_) throw Exception(L"Cannot create the hint window");
  SetHintPause(hintPause_);
  return hintWindow_;
}

void TApplication::SetCursorOverrideFor(const void* control, HCURSOR cursor) noexcept {
  SetCursorOverride(cursor);
  cursorOwner_ = control;
}

void TApplication::ReleaseCursorOverrideFor(const void* control) noexcept {
  if (cursorOwner_ && cursorOwner_ != control) return;
  SetCursorOverride(nullptr);
}

void TApplication::SetCursorOverride(HCURSOR cursor) noexcept {
  cursorOverride_ = cursor;
  cursorOwner_ = nullptr;
  if (cursor) {
    SetCursor(cursor);
  } else {
    // Let the window of ours under the pointer choose its own pointer again.
    POINT point;
    if (!GetCursorPos(&point)) return;
    const HWND window = WindowFromPoint(point);
    if (!window || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return;
    const LRESULT hit = SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(hit, WM_MOUSEMOVE));
  }
}

void TApplication::Run() {
  MSG msg;
  while (!terminated_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  terminated_ = true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      // Run's GetMessage must see it too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TApplication::Terminate() noexcept {
  // An open menu's own loop would keep the program from seeing the end.
  EndMenu();
  if (!terminated_) PostQuitMessage(0);
  terminated_ = true;
}

void TApplication::HandleException() noexcept { ShowException(CurrentError().message); }

void TApplication::ShowException(const std::wstring& message) noexcept {
  try {
    const std::wstring text = ErrorBoxText(message);
    MessageBoxW(GetActiveWindow(), text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
  } catch (...) {
    // Out of memory while reporting: nothing left to show it with.
  }
}

CaughtError CurrentError() noexcept {
  try {
    try {
      throw;
    } catch (const Exception& error) {
      return {error.TypeName(), error.Message(), error.Address()};
    } catch (const std::bad_alloc&) {
      return {L"EOutOfMemory", L"Out of memory"};
    } catch (const std::exception& error) {
      return {L"Exception", WidenAscii(error.what())};
    } catch (...) {
      return {L"Exception", L"Unknown error"};
    }
  } catch (...) {
    // Out of memory while describing the error.
    return {};
  }
}

bool ApplyCursorOverride() noexcept {
  const HCURSOR cursor = TApplication::Instance().CursorOverride();
  if (!cursor) return false;
  SetCursor(cursor);
  return true;
}
