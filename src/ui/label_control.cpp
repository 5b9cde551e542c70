#include "ui/label_control.h"

#include "common/error.h"
#include "ui/application.h"
#include "ui/image_control.h"

TLabel::TLabel(HWND parent, int left, int top, int width, int height, const std::wstring& caption,
               const Font& font, bool transparent)
    : colour_(font.colour), transparent_(transparent) {
  LOGFONTW logFont{};
  logFont.lfHeight = font.height;
  logFont.lfWeight = FW_NORMAL;
  logFont.lfCharSet = font.charset;
  lstrcpynW(logFont.lfFaceName, font.name.c_str(), LF_FACESIZE);
  font_.reset(CreateFontIndirectW(&logFont));
  RegisterWindowClass();
  if (!CreateWindowExW(0, kClassName, caption.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, left, top, width,
                       height, parent, nullptr, GetModuleHandleW(nullptr), this)) {
    throw Exception(L"Cannot create a label");
  }
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TLabel::~TLabel() {
  if (hwnd_) DestroyWindow(hwnd_);
}

TLabel* TLabel::FromHandle(HWND window) noexcept {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (lstrcmpW(name, kClassName) != 0) return nullptr;
  return reinterpret_cast<TLabel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void TLabel::SetCaption(const std::wstring& caption) {
  SetWindowTextW(hwnd_, caption.c_str());
  InvalidateRect(hwnd_, nullptr, FALSE);
}

std::wstring TLabel::Caption() const {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TLabel::SetTransparent(bool value) {
  transparent_ = value;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void TLabel::OnPaint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(hwnd_, &ps);
  RECT client;
  GetClientRect(hwnd_, &client);
  UniqueMemoryDc memory(CreateCompatibleDC(dc));
  UniqueHBitmap buffer(CreateCompatibleBitmap(dc, client.right, client.bottom));
  if (memory && buffer && client.right > 0 && client.bottom > 0) {
    ScopedSelectObject selectBuffer(memory.get(), buffer.get());
    if (transparent_) {
      PaintParentBackground(hwnd_, memory.get());
    } else {
      FillRect(memory.get(), &client, GetSysColorBrush(COLOR_BTNFACE));
    }
    ScopedSelectObject selectFont(memory.get(), font_.get());
    SetBkMode(memory.get(), TRANSPARENT);
    SetTextColor(memory.get(), colour_);
    const std::wstring caption = Caption();
    DrawTextW(memory.get(), caption.c_str(), static_cast<int>(caption.size()), &client,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT TLabel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_GETFONT:
      // As every control answers, so that others can measure the text as it is drawn.
      return reinterpret_cast<LRESULT>(font_.get());
    case WM_SETTEXT: {
      const LRESULT result = DefaultProc(message, wParam, lParam);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return result;
    }
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}
