#pragma once

#include "ui/action_list.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A popup menu whose items stand for actions: each shows its action's caption and check mark,
// and choosing it runs the action. The system menu is built afresh at each opening, so it
// always shows the marks that the popup handler has just set.
class TPopupMenu {
public:
  struct Item {
    std::wstring name;
    TAction* action = nullptr;  // null: a separator
    // The mark flips when the item is chosen, before the action runs.
    bool autoCheck = false;
  };

  void AddItem(std::wstring name, TAction& action, bool autoCheck = false);
  void AddSeparator(std::wstring name);
  const std::vector<Item>& Items() const noexcept { return items_; }

  // Runs before every opening.
  std::function<void()> OnPopup;

  // Opens the menu with its top-left corner at `screenPoint` and, once it has closed, runs the
  // chosen item. `owner` becomes the foreground window first, so the menu closes when the user
  // clicks elsewhere, as a tray icon's menu must.
  void Popup(HWND owner, POINT screenPoint);

  // The command id of item `index` in the system menu.
  static UINT CommandOf(std::size_t index) noexcept { return static_cast<UINT>(index) + 1; }

private:
  std::vector<Item> items_;
};
