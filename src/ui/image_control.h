#pragma once

#include "ui/bitmap.h"
#include "ui/window.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Paints what the parent window shows beneath `child` into `dc` (the child's client
// coordinates), by asking the parent to erase its background there; the erase message's lParam
// names the child. Controls draw their soft edges over it, so they blend with the skin on
// whichever window carries them.
void PaintParentBackground(HWND child, HDC dc);

// The image control: a child window that shows one picture with per-pixel alpha over its
// parent's background, tracks the pointer's entry and exit, and reports clicks. Its window text
// is its name or hint. Moving it between windows is SetParent.
class TImage : public Window<TImage> {
public:
  static constexpr wchar_t kClassName[] = L"TImage";

  TImage(HWND parent, int left, int top, int width, int height, const std::wstring& text, bool visible = true);
  // A control that belongs to its parent window: destroyed with it, and its object with it.
  static TImage* CreateOwnedByParent(HWND parent, int left, int top, int width, int height);
  TImage(const TImage&) = delete;
  TImage& operator=(const TImage&) = delete;
  ~TImage();

  // Shows a copy of `picture`.
  void SetPicture(const TBitmap& picture);
  const TBitmap& Picture() const noexcept { return picture_; }
  // Sized to the picture whenever the picture changes.
  void SetAutoSize(bool value);
  // Draws the picture scaled to the control's size rather than at its own size.
  void SetStretch(bool value);
  void SetVisible(bool visible);
  bool Visible() const noexcept;
  void SetBounds(int left, int top, int width, int height);
  // The bounds in the parent's client coordinates.
  RECT BoundsRect() const;

  // Shown as a tooltip after the application's hint pause while the pointer rests here; an empty
  // hint shows nothing. The hint window learns of it when the pointer first comes here.
  void SetHint(const std::wstring& hint);
  const std::wstring& Hint() const noexcept { return hint_; }

  std::function<void()> OnClick;
  // A context click (right button, or the menu key) with the pointer's screen position.
  std::function<void(POINT)> OnContextPopup;
  std::function<void()> OnMouseEnter;
  std::function<void()> OnMouseLeave;

  // Calls `onRelease` when this control's object is released; `key` stops it again.
  void WatchRelease(const void* key, std::function<void()> onRelease);
  void StopWatching(const void* key) noexcept;

private:
  friend class Window<TImage>;
  TImage() = default;
  void Create(HWND parent, int left, int top, int width, int height, const std::wstring& text, bool visible);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnFinalMessage() noexcept;
  void ApplyAutoSize();

  void AddHint();
  void AddHintAtPointer(WPARAM wParam, LPARAM lParam) noexcept;
  void RemoveHint() noexcept;

  TBitmap picture_;
  std::wstring hint_;
  bool autoSize_ = false;
  bool stretch_ = false;
  // The hint window knows this control's hint; a failed try at the pointer is not repeated.
  bool hintAdded_ = false;
  bool hintTried_ = false;
  bool tracking_ = false;
  bool pressed_ = false;
  bool ownedByParent_ = false;
  std::vector<std::pair<const void*, std::function<void()>>> watchers_;
};
