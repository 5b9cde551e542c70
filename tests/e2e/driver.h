#pragma once

// A driver for the real program: starts it, finds its windows, reads their texts, answers its
// message boxes, clicks as a user would and looks at the screen. It runs inside the same Wine
// prefix and display as the program, so the registry and the windows are the program's own.

#include "common/unique_handle.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace driver {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Polls `done` until it is true or the time is up; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis interval = 50ms);

// The folder that holds the test program, LAGVANE.exe and the other built programs.
std::wstring BinDir();

std::wstring ClassNameOf(HWND window);
std::wstring TextOf(HWND window);
RECT WindowRectOf(HWND window);

// The top-level windows of one process, visible ones only unless asked otherwise.
std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly = true);
// The child windows of a window, at every depth.
std::vector<HWND> ChildWindows(HWND parent);
// The file names of the modules a process has loaded, lower case ("comctl32.dll").
std::vector<std::wstring> ModulesOf(DWORD processId);
// A control of the process by class and window text (any text when empty).
HWND FindControl(DWORD processId, const std::wstring& className, const std::wstring& text = L"");

struct MessageBoxInfo {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  bool hasIcon = false;
};
// The visible message boxes (class #32770) of a process or of a thread.
std::optional<MessageBoxInfo> FindMessageBox(DWORD processId);
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, Millis timeout);
std::optional<MessageBoxInfo> WaitForThreadMessageBox(DWORD threadId, Millis timeout);
// Ends a message box as if its button with this id were pressed.
void AnswerMessageBox(HWND box, int buttonId = IDOK);

// Moves the pointer to a screen point and clicks the left button there.
void ClickAt(POINT screenPoint);
// The same in the middle of a window.
void Click(HWND window);
// The same with the right button.
void RightClickAt(POINT screenPoint);
// Two left clicks in quick succession at a screen point.
void DoubleClickAt(POINT screenPoint);
// Presses and releases a key; it goes to the foreground window's thread.
void PressKey(WORD virtualKey);
// Moves the pointer to a screen point, as the user's mouse would.
void MoveTo(POINT screenPoint);
// Presses the left button at `from`, moves in steps to `to` and releases it there.
void Drag(POINT from, POINT to, int steps = 10);

// A running LAGVANE.exe. The destructor ends a program that is still running, so a failed test
// leaves nothing behind for the next one.
class AppProcess {
public:
  // `program` is a path under the build's bin folder, or a full path ("C:\\...").
  static AppProcess Start(const std::wstring& arguments = L"",
                          const std::wstring& program = L"LAGVANE.exe");
  AppProcess(AppProcess&&) noexcept = default;
  AppProcess& operator=(AppProcess&&) noexcept = default;
  ~AppProcess();

  DWORD Id() const noexcept { return id_; }
  bool Running() const;
  // The exit code, once the process has ended within the time.
  std::optional<DWORD> WaitForExit(Millis timeout);
  // A visible top-level window of this process with that class.
  HWND WaitForWindow(const wchar_t* className, Millis timeout);
  HWND MainWindow(Millis timeout = 20s) { return WaitForWindow(L"TfrmMain", timeout); }

private:
  AppProcess(HANDLE process, DWORD id) : process_(process), id_(id) {}
  UniqueHandle process_;
  DWORD id_ = 0;
};

// The open popup menu of the process, once the process holds the foreground, where the keyboard
// reaches the menu.
HWND WaitForMenu(AppProcess& app, Millis timeout = 5s);
// Chooses the item `steps` keyboard steps below the menu's opening (separators are skipped).
void ChooseMenuItem(int steps);
// Clicks the open popup menu's first item. The mouse reaches a menu whatever holds the
// foreground, which the keyboard needs and a menu over a minimised window does not always get.
void ClickFirstMenuItem(HWND menu);

// The icons in the notification area: with no tray manager on the display, Wine shows a window
// of its own holding one child per icon.
std::vector<HWND> TrayIconWindows();

// The main window's status label and its two mode buttons, which live on the control form.
struct ModeControls {
  HWND label = nullptr;
  HWND game = nullptr;
  HWND web = nullptr;
};
// Waits until the control form shows them, then a moment longer for them to paint.
std::optional<ModeControls> WaitForModeControls(AppProcess& app, Millis timeout = 10s);

// The screen as it is now, for checks at the pixels that matter.
class Screenshot {
public:
  static Screenshot Capture();
  COLORREF Pixel(int x, int y) const;
  // Whether any pixel of the area on the screen has this colour.
  bool AreaHas(const RECT& area, COLORREF colour) const;
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  // Saves a 24-bit BMP, for a person to look at when a check fails.
  bool Save(const std::wstring& path) const;

private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;  // top-down, 0x00RRGGBB
};

// Registry access for preparing and checking state, independent of the program's own layer.
// `view` may name a registry view (KEY_WOW64_64KEY) for a key outside the process's own.
namespace reg {
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view = 0);
bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name);
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value,
                 REGSAM view = 0);
void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name);
void DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);
}  // namespace reg

}  // namespace driver
