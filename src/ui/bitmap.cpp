#include "ui/bitmap.h"

#include "common/error.h"

#include <cstring>

void TBitmap::SetPixels(int width, int height, std::span<const std::uint8_t> bgra) {
  if (width <= 0 || height <= 0) {
    Clear();
    return;
  }
  const std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
  if (bgra.size() < bytes) throw Exception(L"The picture's pixels do not fill its size");
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueHBitmap handle(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!handle || !bits) throw Exception(L"Cannot create a bitmap");
  std::memcpy(bits, bgra.data(), bytes);
  GdiFlush();
  auto picture = std::make_shared<Picture>();
  picture->handle = std::move(handle);
  picture->width = width;
  picture->height = height;
  picture->bits = static_cast<std::uint32_t*>(bits);
  // The other holders of the old picture keep it; this bitmap takes the new one.
  picture_ = std::move(picture);
}

void TBitmap::Clear() noexcept { picture_.reset(); }

std::span<const std::uint32_t> TBitmap::Pixels() const noexcept {
  if (!picture_) return {};
  GdiFlush();
  return {picture_->bits, static_cast<std::size_t>(picture_->width) * picture_->height};
}
