#include "ui/image_progress_bar.h"

#include "ui/image_control.h"
#include "ui/png_resource_image.h"
#include "ui/progress_position.h"

TImageProgressBar::TImageProgressBar(const TImageRect& aStartImageRect, std::int32_t aImageSpace)
    : FStartImageRect(aStartImageRect), FImageSpace(aImageSpace) {}

TImageProgressBar::~TImageProgressBar() { Clear(); }

void TImageProgressBar::AddImage(TImage* aImage, const std::wstring& aImageOn, const std::wstring& aImageOff) {
  FImageList.push_back(std::make_unique<TPNGResourceImage>(aImage, aImageOn, aImageOff));
}

void TImageProgressBar::AddImage(HWND aParent, const std::wstring& aImageOn, const std::wstring& aImageOff) {
  const std::int32_t n = Max();
  TImage* image = TImage::CreateOwnedByParent(aParent, CellLeft(FStartImageRect, FImageSpace, n),
                                              FStartImageRect.Top, FStartImageRect.Width, FStartImageRect.Height);
  image->SetStretch(true);
  AddImage(image, aImageOn, aImageOff);
}

void TImageProgressBar::AddImage(HWND aParent, const std::wstring& aImageOn, const std::wstring& aImageOff,
                                 std::int32_t aMax) {
  if (!FImageList.empty()) Clear();
  for (std::int32_t i = 0; i < aMax; ++i) AddImage(aParent, aImageOn, aImageOff);
}

void TImageProgressBar::Clear() noexcept {
  while (!FImageList.empty()) FImageList.pop_back();
}

void TImageProgressBar::SetPosition(std::int32_t value) {
  const PositionChange change = AssignPosition(value, Max());
  FPosition = change.position;
  if (change.flipCell >= 0) {
    TPNGResourceImage& cell = *FImageList[static_cast<std::size_t>(change.flipCell)];
    cell.SetImageMode(cell.ImageMode() == TStateMode::smON ? TStateMode::smOFF : TStateMode::smON);
  }
}

void TImageProgressBar::SetStateMode(TStateMode value) {
  for (auto& cell : FImageList) cell->SetImageMode(value);
}

void TImageProgressBar::SetVisible(bool value) {
  FVisible = value;
  for (auto& cell : FImageList) {
    if (TImage* image = cell->Image()) image->SetVisible(value);
  }
}
