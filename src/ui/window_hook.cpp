#include "ui/window_hook.h"

#include <utility>

namespace {

// The window property that carries a hooked window's record.
constexpr wchar_t kRecordProperty[] = L"LAGVANE.WindowHook";

bool IsOurProcedure(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == procedure;
}

}  // namespace

bool TWindowHook::Attach(HWND window, Handler handler, std::function<void()> onGone) {
  if (record_ || !IsWindow(window) || GetPropW(window, kRecordProperty)) return false;
  auto* record = new Record{nullptr, this};
  if (!SetPropW(window, kRecordProperty, record)) {
    delete record;
    return false;
  }
  SetLastError(ERROR_SUCCESS);
  const auto previous =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProc)));
  if (!previous && GetLastError() != ERROR_SUCCESS) {
    RemovePropW(window, kRecordProperty);
    delete record;
    return false;
  }
  record->previous = previous;
  window_ = window;
  previous_ = previous;
  record_ = record;
  handler_ = std::move(handler);
  onGone_ = std::move(onGone);
  return true;
}

void TWindowHook::Detach() noexcept {
  if (!record_) return;
  if (IsWindow(window_) && IsOurProcedure(window_, &HookProc)) {
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropW(window_, kRecordProperty);
    delete record_;
  } else {
    // Hooked again since: the record goes on passing messages to the earlier procedure, and
    // goes itself with the window.
    record_->hook = nullptr;
  }
  record_ = nullptr;
}

LRESULT TWindowHook::CallPrevious(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
  return CallWindowProcW(previous_, window_, message, wParam, lParam);
}

LRESULT CALLBACK TWindowHook::HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* record = static_cast<Record*>(GetPropW(window, kRecordProperty));
  if (!record) return DefWindowProcW(window, message, wParam, lParam);
  const WNDPROC previous = record->previous;
  if (message == WM_NCDESTROY) {
    TWindowHook* hook = record->hook;
    RemovePropW(window, kRecordProperty);
    if (IsOurProcedure(window, &HookProc)) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    delete record;
    if (hook) {
      hook->record_ = nullptr;
      // Taken out first: the call may end the hook's owner.
      const std::function<void()> onGone = std::move(hook->onGone_);
      if (onGone) onGone();
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
  }
  if (!record->hook) return CallWindowProcW(previous, window, message, wParam, lParam);
  return record->hook->handler_(message, wParam, lParam);
}
