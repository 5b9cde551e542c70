#pragma once

#include "common/unique_handle.h"
#include "ui/window.h"

#include <windows.h>

#include <string>

// The label: one line of text in its own font and colour, a child window whose window text is
// its caption. A transparent label shows its parent's background beneath the text.
class TLabel : public Window<TLabel> {
public:
  static constexpr wchar_t kClassName[] = L"TLabel";

  struct Font {
    std::wstring name;
    int height = 0;  // as LOGFONT's lfHeight: negative for the character height in pixels
    BYTE charset = DEFAULT_CHARSET;
    COLORREF colour = 0;
  };

  TLabel(HWND parent, int left, int top, int width, int height, const std::wstring& caption, const Font& font,
         bool transparent);
  TLabel(const TLabel&) = delete;
  TLabel& operator=(const TLabel&) = delete;
  ~TLabel();

  void SetCaption(const std::wstring& caption);
  std::wstring Caption() const;
  bool Transparent() const noexcept { return transparent_; }
  void SetTransparent(bool value);

  // The label object behind a window of this class, or null for any other window.
  static TLabel* FromHandle(HWND window) noexcept;

private:
  friend class Window<TLabel>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();

  UniqueHFont font_;
  COLORREF colour_ = 0;
  bool transparent_ = false;
};
