#pragma once

#include "common/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <span>

// A 32-bit top-down DIB section holding premultiplied blue, green, red, alpha pixels: the form
// in which every picture is kept, drawn with per-pixel alpha and handed to layered windows.
// Copying copies the pixels.
class TBitmap {
public:
  TBitmap() = default;
  TBitmap(const TBitmap& other) { Assign(other); }
  TBitmap& operator=(const TBitmap& other) {
    if (this != &other) Assign(other);
    return *this;
  }
  TBitmap(TBitmap&&) noexcept = default;
  TBitmap& operator=(TBitmap&&) noexcept = default;

  // Becomes an exact copy: size and pixels.
  void Assign(const TBitmap& other);
  // Takes a picture of width x height pixels, 4 bytes each; an empty size empties the bitmap.
  void SetPixels(int width, int height, std::span<const std::uint8_t> bgra);
  void Clear() noexcept;

  bool Empty() const noexcept { return !handle_; }
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  HBITMAP Handle() const noexcept { return handle_.get(); }
  // Pixel values 0xAARRGGBB, rows top-down; empty for an empty bitmap.
  std::span<const std::uint32_t> Pixels() const noexcept;

private:
  UniqueHBitmap handle_;
  int width_ = 0;
  int height_ = 0;
  std::uint32_t* bits_ = nullptr;
};
