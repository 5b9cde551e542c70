#pragma once

#include "common/types.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class TImage;
class TPNGResourceImage;

// A progress bar made of a row of picture cells. Assigning Position n flips cell n - 1 only, so
// the caller lights cells one by one from the left, or puts them out from the right.
class TImageProgressBar {
public:
  TImageProgressBar(const TImageRect& aStartImageRect, std::int32_t aImageSpace);
  TImageProgressBar(const TImageProgressBar&) = delete;
  TImageProgressBar& operator=(const TImageProgressBar&) = delete;
  ~TImageProgressBar();

  // Binds an existing control to a new cell (off picture shown).
  void AddImage(TImage* aImage, const std::wstring& aImageOn, const std::wstring& aImageOff);
  // Appends a cell with a control of its own on `aParent`, which the parent window owns.
  void AddImage(HWND aParent, const std::wstring& aImageOn, const std::wstring& aImageOff);
  // Clears the bar and appends aMax cells on `aParent`.
  void AddImage(HWND aParent, const std::wstring& aImageOn, const std::wstring& aImageOff, std::int32_t aMax);
  // Releases the cells, the last first; their controls stay where they are.
  void Clear() noexcept;

  std::int32_t Max() const noexcept { return static_cast<std::int32_t>(FImageList.size()); }
  std::int32_t Position() const noexcept { return FPosition; }
  void SetPosition(std::int32_t value);
  void SetStateMode(TStateMode value);
  bool Visible() const noexcept { return FVisible; }
  void SetVisible(bool value);
  // Cell i, for those who look at the bar from outside.
  TPNGResourceImage& Cell(std::size_t index) const { return *FImageList.at(index); }

private:
  std::vector<std::unique_ptr<TPNGResourceImage>> FImageList;
  std::int32_t FPosition = 0;
  TImageRect FStartImageRect;
  std::int32_t FImageSpace = 0;
  bool FVisible = false;
};
