#include "ui/popup_menu.h"

#include "common/error.h"
#include "common/unique_handle.h"
#include "ui/application.h"

namespace {
constexpr DWORD kActivationSettleMs = 250;
}  // namespace

void TPopupMenu::AddItem(std::wstring name, TAction& action, bool autoCheck) {
  items_.push_back({std::move(name), &action, autoCheck});
}

void TPopupMenu::AddSeparator(std::wstring name) { items_.push_back({std::move(name), nullptr, false}); }

void TPopupMenu::Popup(HWND owner, POINT screenPoint) {
  if (OnPopup) OnPopup();

  UniqueHMenu menu(CreatePopupMenu());
  if (!menu) throw Exception(L"Cannot create the popup menu");
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    BOOL added = FALSE;
    if (!item.action) {
      added = AppendMenuW(menu.get(), MF_SEPARATOR, CommandOf(i), nullptr);
    } else {
      const UINT flags = MF_STRING | (item.action->checked ? MF_CHECKED : MF_UNCHECKED);
      added = AppendMenuW(menu.get(), flags, CommandOf(i), item.action->caption.c_str());
    }
    if (!added) throw Exception(L"Cannot build the popup menu");
  }

  // A menu of a program that is not in the foreground would stay open after a click elsewhere
  // (the tray icon belongs to the shell, so a click there takes the foreground away).
  if (SetForegroundWindow(owner)) {
    // The activation's messages arrive from the window system a moment later; handled during
    // the menu, they would close it at once.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kActivationSettleMs) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      TApplication::Instance().ProcessMessages();
    }
  }
  const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
      menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, screenPoint.x,
      screenPoint.y, owner, nullptr));
  // Lets the menu's modal loop end properly when it was opened from the tray.
  PostMessageW(owner, WM_NULL, 0, 0);
  menu.reset();
  if (chosen == 0 || chosen > items_.size()) return;

  // The item may be run after the menu has gone, and its handler may rebuild anything but the list.
  const Item item = items_[chosen - 1];
  if (!item.action) return;
  if (item.autoCheck) {
    item.action->checked = !item.action->checked;
    if (item.action->onExecute) item.action->onExecute();
  } else {
    item.action->Execute();
  }
}
