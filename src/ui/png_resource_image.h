#pragma once

#include "common/types.h"
#include "ui/bitmap.h"

#include <string>

class TImage;

// The three-state image button: an image control bound to an on, an off and an optional over
// picture. It shows the picture of its state, and the over picture while the pointer is on it.
class TPNGResourceImage {
public:
  TPNGResourceImage(TImage* aImageForm, const std::wstring& aImageOn, const std::wstring& aImageOff,
                    const std::wstring& aImageOver = L"");
  TPNGResourceImage(const TPNGResourceImage&) = delete;
  TPNGResourceImage& operator=(const TPNGResourceImage&) = delete;
  ~TPNGResourceImage();

  TStateMode ImageMode() const noexcept { return FImageMode; }
  void SetImageMode(TStateMode value);
  TImage* Image() const noexcept { return FImage; }
  void SetImage(TImage* value);

  void ImageMouseEnter();
  void ImageMouseLeave();

private:
  void Watch(TImage* image);

  TImage* FImage = nullptr;
  TBitmap FImageOn;
  TBitmap FImageOff;
  TBitmap FImageOver;
  TStateMode FImageMode = TStateMode::smOFF;
  TImage* hoverBoundTo_ = nullptr;  // the control whose pointer handlers are this object's
};
