#pragma once

#include "common/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>

// A 32-bit top-down DIB section holding premultiplied blue, green, red, alpha pixels: the form
// in which every picture is kept, drawn with per-pixel alpha and handed to layered windows.
// A picture never changes once made, so copies share it: every control that shows a picture
// holds the one DIB section, which goes with the last of them.
class TBitmap {
  struct Picture;

public:
  // A reference that does not keep the picture alive, so that a store can hand out the copy it
  // made for as long as anyone holds it.
  class WeakRef {
  public:
    // The picture while someone still holds it, else an empty bitmap.
    TBitmap Lock() const {
      TBitmap bitmap;
      bitmap.picture_ = picture_.lock();
      return bitmap;
    }

  private:
    friend class TBitmap;
    std::weak_ptr<const Picture> picture_;
  };

  TBitmap() = default;

  // Becomes an exact copy: size and pixels.
  void Assign(const TBitmap& other) { picture_ = other.picture_; }
  // Takes a picture of width x height pixels, 4 bytes each; an empty size empties the bitmap.
  void SetPixels(int width, int height, std::span<const std::uint8_t> bgra);
  void Clear() noexcept;

  bool Empty() const noexcept { return !picture_; }
  int Width() const noexcept { return picture_ ? picture_->width : 0; }
  int Height() const noexcept { return picture_ ? picture_->height : 0; }
  HBITMAP Handle() const noexcept { return picture_ ? picture_->handle.get() : nullptr; }
  // Pixel values 0xAARRGGBB, rows top-down; empty for an empty bitmap.
  std::span<const std::uint32_t> Pixels() const noexcept;
  WeakRef Weak() const {
    WeakRef weak;
    weak.picture_ = picture_;
    return weak;
  }

private:
  struct Picture {
    UniqueHBitmap handle;
    int width = 0;
    int height = 0;
    std::uint32_t* bits = nullptr;
  };
  std::shared_ptr<const Picture> picture_;
};
