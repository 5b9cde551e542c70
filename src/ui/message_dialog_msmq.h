#pragma once

#include "ui/window.h"

#include <windows.h>

#include <string>

// The bar that says MSMQ is being installed or removed while ocsetup runs: borderless, always on
// top, per-pixel alpha, sized to its picture. It is created hidden, owned by the main window.
class TfrmMessageDialogMSMQ : public Window<TfrmMessageDialogMSMQ> {
public:
  explicit TfrmMessageDialogMSMQ(HWND owner);
  TfrmMessageDialogMSMQ(const TfrmMessageDialogMSMQ&) = delete;
  TfrmMessageDialogMSMQ& operator=(const TfrmMessageDialogMSMQ&) = delete;
  ~TfrmMessageDialogMSMQ();

  // The picture to show, from the next showing on.
  void SetResourceName(std::wstring name) { FResourceName = std::move(name); }
  // Shows the notice without making it modal; each showing draws the picture named now.
  void Show();
  // Hides the notice.
  void Close() noexcept;

  static constexpr wchar_t kClassName[] = L"TfrmMessageDialogMSMQ";

private:
  friend class Window<TfrmMessageDialogMSMQ>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FormCreate();
  void FormShow();

  std::wstring FResourceName;
  bool shownBefore_ = false;
};
