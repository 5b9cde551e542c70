#include "ui/png_resource_image.h"

#include "ui/application.h"
#include "ui/image_control.h"
#include "ui/png_resource.h"

TPNGResourceImage::TPNGResourceImage(TImage* aImageForm, const std::wstring& aImageOn, const std::wstring& aImageOff,
                                     const std::wstring& aImageOver) {
  // A picture that fails to load ends the construction; the bitmaps made so far go with it.
  LoadPNGResourceToBitmap(FImageOn, aImageOn);
  LoadPNGResourceToBitmap(FImageOff, aImageOff);
  if (!aImageOver.empty()) LoadPNGResourceToBitmap(FImageOver, aImageOver);
  Watch(aImageForm);
  if (!aImageOver.empty() && FImage) {
    FImage->OnMouseEnter = [this] { ImageMouseEnter(); };
    FImage->OnMouseLeave = [this] { ImageMouseLeave(); };
    hoverBoundTo_ = FImage;
  }
  SetImageMode(TStateMode::smOFF);
}

TPNGResourceImage::~TPNGResourceImage() {
  if (FImage) {
    // Handlers that call into this object must not outlive it.
    if (hoverBoundTo_ == FImage) {
      FImage->OnMouseEnter = nullptr;
      FImage->OnMouseLeave = nullptr;
    }
    FImage->StopWatching(this);
  }
}

void TPNGResourceImage::Watch(TImage* image) {
  if (FImage) FImage->StopWatching(this);
  FImage = image;
  // The control belongs to its window and may go first: then it is forgotten here.
  if (FImage) FImage->WatchRelease(this, [this] { FImage = nullptr; });
}

void TPNGResourceImage::SetImage(TImage* value) {
  // The handlers stay where they were; hoverBoundTo_ is only compared, never followed.
  Watch(value);
}

void TPNGResourceImage::SetImageMode(TStateMode value) {
  FImageMode = value;
  if (!FImage) return;
  if (value == TStateMode::smON) {
    FImage->SetPicture(FImageOn);
  } else if (value == TStateMode::smOFF) {
    FImage->SetPicture(FImageOff);
  }
}

void TPNGResourceImage::ImageMouseEnter() {
  TApplication::Instance().SetCursorOverrideFor(FImage, LoadCursorW(nullptr, IDC_HAND));
  if (FImage) FImage->SetPicture(FImageOver);
}

void TPNGResourceImage::ImageMouseLeave() {
  SetImageMode(FImageMode);
  TApplication::Instance().ReleaseCursorOverrideFor(FImage);
}
