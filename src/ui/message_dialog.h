#pragma once

#include "common/types.h"
#include "ui/window.h"

#include <windows.h>

#include <memory>

class TImage;

// Makes the form's background pure red and keys that colour out: every pure red pixel is
// invisible and lets the pointer through.
void SetColorKeyTransparent(HWND form);

// The speech bubble that asks Yes or No about a mode switch. The question is drawn in its
// picture; the window holds only two invisible hit areas over the picture's buttons.
class TfrmMessageDialog : public Window<TfrmMessageDialog> {
public:
  static constexpr wchar_t kClassName[] = L"TfrmMessageDialog";
  static constexpr int mrYes = 6;
  static constexpr int mrNo = 7;

  // Created hidden, owned by `owner`.
  explicit TfrmMessageDialog(HWND owner);
  TfrmMessageDialog(const TfrmMessageDialog&) = delete;
  TfrmMessageDialog& operator=(const TfrmMessageDialog&) = delete;
  ~TfrmMessageDialog();

  TKindMode Mode() const noexcept { return FMode; }
  void SetMode(TKindMode value) noexcept { FMode = value; }
  bool IsTop() const noexcept { return FTop; }
  void SetIsTop(bool value) noexcept { FTop = value; }

  TImage& Background() noexcept { return *imgBackground; }
  TImage& YesArea() noexcept { return *ImgYes; }
  TImage& NoArea() noexcept { return *imgNo; }

  // Shows the bubble and lets no other window of the program take input until it is answered;
  // returns mrYes or mrNo (0 when the program is ending).
  int ShowModal();

private:
  friend class Window<TfrmMessageDialog>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FormCreate();
  void FormShow();
  void ImgYesClick() noexcept { modalResult_ = mrYes; }
  void imgNoClick() noexcept { modalResult_ = mrNo; }
  void ImgYesMouseEnter(TImage* Sender);
  void ImgYesMouseLeave(TImage* Sender);
  void EraseBackground(HDC dc, HWND forChild);

  TKindMode FMode = TKindMode::kmNone;
  bool FTop = false;
  std::unique_ptr<TImage> imgBackground;
  std::unique_ptr<TImage> ImgYes;
  std::unique_ptr<TImage> imgNo;
  int modalResult_ = 0;
};
