#pragma once

#include "common/unique_handle.h"
#include "ui/bitmap.h"
#include "ui/window.h"
#include "ui/window_hook.h"

#include <windows.h>

#include <functional>
#include <memory>

class TImage;
class TJvTransparentForm;

enum class TJvTransparentFormMode : int { tfmWindowRegion = 0, tfmWindowRegionAlphaChannel = 1, tfmLayeredWindow = 2 };

// The window region of the pixels of `bitmap` that are inside: with useAlpha those whose alpha
// is not 0, otherwise those whose colour differs from `keyColour` (a system colour is resolved
// first). Null when no pixel is inside.
UniqueHRgn CreateRegionFromBitmap(const TBitmap& bitmap, COLORREF keyColour, bool useAlpha);

// The borderless popup that lies on a layered owner and carries its controls: colour-keyed, so
// only the controls and the skin pieces beneath them show, and transparent to the pointer
// everywhere else.
class TJvControlForm : public Window<TJvControlForm> {
public:
  static constexpr wchar_t kClassName[] = L"TJvControlForm";

  TJvControlForm(TJvTransparentForm& component, HWND owner);
  TJvControlForm(const TJvControlForm&) = delete;
  TJvControlForm& operator=(const TJvControlForm&) = delete;
  ~TJvControlForm();

  // Background and key colour at once.
  void SetKeyColour(COLORREF colour);

private:
  friend class Window<TJvControlForm>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void EraseBackground(HDC dc);

  TJvTransparentForm& component_;
  HWND owner_;
  COLORREF keyColour_ = 0;
  UniqueAny<HBRUSH, nullptr, handle_detail::DeleteGdiObject> brush_;
};

// Gives its owner form's window the shape of a mask picture, in one of three modes, and lets
// every point of the window that no control covers drag it.
class TJvTransparentForm {
public:
  // `owner` is a window of the form to shape (its top-level window is taken); `creationStyle`
  // tells the style that form would be created with now, which RemoveTransparency gives back.
  TJvTransparentForm(HWND owner, std::function<LONG_PTR()> creationStyle);
  TJvTransparentForm(const TJvTransparentForm&) = delete;
  TJvTransparentForm& operator=(const TJvTransparentForm&) = delete;
  ~TJvTransparentForm();

  // While the owner's form data is being read, applying and removing do nothing; Loaded ends
  // that and applies what was read.
  void BeginLoading() noexcept { loading_ = true; }
  void Loaded();
  void Update();

  bool Active() const noexcept { return FActive; }
  void SetActive(bool value);
  TJvTransparentFormMode Mode() const noexcept { return FMode; }
  void SetMode(TJvTransparentFormMode value);
  const TBitmap& Mask() const noexcept { return FMask; }
  void SetMask(const TBitmap& value);
  TImage* MaskFromImage() const noexcept { return FMaskFromImage; }
  void SetMaskFromImage(TImage* value);
  bool AutoSize() const noexcept { return FAutoSize; }
  void SetAutoSize(bool value);
  bool MovableForm() const noexcept { return FMovableForm; }
  void SetMovableForm(bool value) noexcept { FMovableForm = value; }
  COLORREF LayeredTransparentControlColor() const noexcept { return FLayeredTransparentControlColor; }
  void SetLayeredTransparentControlColor(COLORREF value);
  std::int32_t LayeredAlphaValue() const noexcept { return FLayeredAlphaValue; }
  void SetLayeredAlphaValue(std::int32_t value);

  // The owner's window, or null once it is gone.
  HWND ComponentOwner() const noexcept { return FComponentOwner; }
  // The control form's window in the layered mode, or null.
  HWND ControlFormHandle() const noexcept;

  // Gives every direct child control of `source` to `target`, keeping their painting order;
  // labels become transparent on the way.
  static void MoveControls(HWND source, HWND target);

private:
  friend class TJvControlForm;
  LRESULT OwnerMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT OwnerWndProc(UINT message, WPARAM wParam, LPARAM lParam);
  // `ownerShowing`: the owner is about to become visible (its visible flag is not set yet).
  void ApplyTransparency(bool ownerShowing = false);
  void RemoveTransparency();
  void UpdateMaskFromImage();
  void FollowOwner();
  void Unhook() noexcept;

  TBitmap FMask;
  HWND FComponentOwner = nullptr;
  TWindowHook ownerHook_;
  bool FAutoSize = false;
  bool FActive = false;
  TJvTransparentFormMode FMode = TJvTransparentFormMode::tfmWindowRegion;
  bool FMovableForm = false;
  std::unique_ptr<TJvControlForm> FControlForm;
  COLORREF FLayeredTransparentControlColor = 0xFEFEFE;
  std::int32_t FLayeredAlphaValue = 255;
  TImage* FMaskFromImage = nullptr;

  std::function<LONG_PTR()> creationStyle_;
  bool loading_ = false;
};
