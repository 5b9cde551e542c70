#include "ui/bitmap.h"

#include "common/error.h"

#include <cstring>

void TBitmap::Assign(const TBitmap& other) {
  if (other.Empty()) {
    Clear();
    return;
  }
  const auto pixels = other.Pixels();
  SetPixels(other.width_, other.height_,
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(pixels.data()), pixels.size_bytes()));
}

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
  handle_ = std::move(handle);
  bits_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
}

void TBitmap::Clear() noexcept {
  handle_.reset();
  bits_ = nullptr;
  width_ = height_ = 0;
}

std::span<const std::uint32_t> TBitmap::Pixels() const noexcept {
  if (!bits_) return {};
  GdiFlush();
  return {bits_, static_cast<std::size_t>(width_) * height_};
}
