#pragma once

#include <functional>
#include <string>

// One command of the window, shared by its buttons, its menu items and the tray icon, so that
// they all run the same handler and show the same check mark.
struct TAction {
  std::wstring caption;
  std::wstring hint;
  // The mark flips each time the action runs, before its handler.
  bool autoCheck = false;
  bool checked = false;
  std::function<void()> onExecute;

  void Execute() {
    if (autoCheck) checked = !checked;
    if (onExecute) onExecute();
  }
};
