#include "ui/png_resource.h"

#include "common/error.h"
#include "common/texts.h"
#include "ui/image_control.h"
#include "ui/png_decoder.h"

#include <cwctype>

PngImage LoadPngResourcePicture(HMODULE module, const std::wstring& name) {
  // Resource names are stored in upper case; asking in upper case finds them on every system.
  std::wstring upper = name;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  const HRSRC info = FindResourceW(module, upper.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  const HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw Exception(FormatText(texts::kResourceNotFound, name), L"EResNotFound");
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return DecodePngOrThrow(std::span<const std::uint8_t>(bytes, SizeofResource(module, info)));
}

TBitmap LoadPngResource(HMODULE module, const std::wstring& name) {
  const PngImage image = LoadPngResourcePicture(module, name);
  TBitmap bitmap;
  bitmap.SetPixels(static_cast<int>(image.width), static_cast<int>(image.height), PremultipliedBgra(image));
  return bitmap;
}

void LoadPNGResourceToBitmap(TBitmap& bitmap, const std::wstring& name) {
  bitmap = LoadPngResource(GetModuleHandleW(nullptr), name);
}

void LoadPNGResourceToImage(TImage& image, const std::wstring& name) {
  image.SetPicture(LoadPngResource(GetModuleHandleW(nullptr), name));
}
