#pragma once

#include "common/error.h"

#include <windows.h>

#include <string>

// What the program's windows share: the title (the caption of plain and error boxes), the hint
// pause, the application-wide pointer override, the message loop and the default error handler.
class TApplication {
public:
  // The process's one instance of this class.
  static TApplication& Initialize();
  static TApplication& Instance() noexcept;

  const std::wstring& Title() const noexcept { return title_; }
  void SetTitle(std::wstring title) { title_ = std::move(title); }

  // The pause before a control's hint shows, in milliseconds.
  UINT HintPause() const noexcept { return hintPause_; }
  void SetHintPause(UINT milliseconds) noexcept;
  // The one tooltip window that shows every control's hint, made (with comctl32 loaded) when the
  // pointer first comes to a control with a hint.
  HWND HintWindow();
  bool HasHintWindow() const noexcept { return hintWindow_ && IsWindow(hintWindow_); }

  // One pointer for every window of the program until it is cleared (nullptr); while it is clear,
  // each window answers for its own pointer again.
  HCURSOR CursorOverride() const noexcept { return cursorOverride_; }
  void SetCursorOverride(HCURSOR cursor) noexcept;
  // The same on behalf of the control under the pointer, and its release by that control's
  // leave. The system may deliver one control's leave after its neighbour's entry: that late leave
  // leaves the neighbour's pointer alone. A pointer set by no control is cleared by any leave.
  void SetCursorOverrideFor(const void* control, HCURSOR cursor) noexcept;
  void ReleaseCursorOverrideFor(const void* control) noexcept;
  const void* CursorOverrideOwner() const noexcept { return cursorOwner_; }

  // Runs the message loop until a quit message or Terminate.
  void Run();
  // Handles what is waiting in the queue and returns; a quit message seen here ends Run.
  void ProcessMessages();
  void Terminate() noexcept;
  bool Terminated() const noexcept { return terminated_; }

  // The default error handler: the error's text in a box with the stop icon and the title as
  // caption. Call it from inside a catch block; the program then goes on.
  void HandleException() noexcept;
  void ShowException(const std::wstring& message) noexcept;

private:
  TApplication() = default;

  std::wstring title_;
  UINT hintPause_ = 500;
  HWND hintWindow_ = nullptr;
  HCURSOR cursorOverride_ = nullptr;
  const void* cursorOwner_ = nullptr;
  bool terminated_ = false;
};

// The error being handled, as the error boxes name it. Call it from inside a catch block.
struct CaughtError {
  std::wstring typeName;
  std::wstring message;
  // The code that raised it, when known.
  const void* address = nullptr;
};
CaughtError CurrentError() noexcept;

// Answers WM_SETCURSOR for a window while the application-wide override is set.
bool ApplyCursorOverride() noexcept;
