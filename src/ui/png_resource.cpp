#include "ui/png_resource.h"

#include "common/error.h"
#include "common/texts.h"
#include "ui/image_control.h"
#include "ui/png_decoder.h"

#include <cwctype>
#include <map>

namespace {

// The blob of the resource `name` (any case), or the error naming it when there is none.
std::span<const std::uint8_t> ResourceBytes(HMODULE module, const std::wstring& name) {
  // Resource names are stored in upper case; asking in upper case finds them on every system.
  std::wstring upper = name;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  const HRSRC info = FindResourceW(module, upper.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  const HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw Exception(FormatText(texts::kResourceNotFound, name), L"EResNotFound");
  return {static_cast<const std::uint8_t*>(data), SizeofResource(module, info)};
}

// The pictures decoded so far, by their blob, while anyone holds them: the fifteen cells of a
// bar share one decoded copy, and so do the buttons and states that show the same picture. A
// blob's address is its own while its module is loaded, and the program's module never goes.
// One thread uses the store.
std::map<const std::uint8_t*, TBitmap::WeakRef>& DecodedPictures() {
  static std::map<const std::uint8_t*, TBitmap::WeakRef> pictures;
  return pictures;
}

}  // namespace

PngImage LoadPngResourcePicture(HMODULE module, const std::wstring& name) {
  return DecodePngOrThrow(ResourceBytes(module, name));
}

TBitmap LoadPngResource(HMODULE module, const std::wstring& name) {
  const std::span<const std::uint8_t> bytes = ResourceBytes(module, name);
  auto& pictures = DecodedPictures();
  if (const auto found = pictures.find(bytes.data()); found != pictures.end()) {
    if (TBitmap held = found->second.Lock(); !held.Empty()) return held;
  }
  const PngImage image = DecodePngOrThrow(bytes);
  TBitmap bitmap;
  bitmap.SetPixels(static_cast<int>(image.width), static_cast<int>(image.height), PremultipliedBgra(image));
  pictures[bytes.data()] = bitmap.Weak();
  return bitmap;
}

void LoadPNGResourceToBitmap(TBitmap& bitmap, const std::wstring& name) {
  bitmap = LoadPngResource(GetModuleHandleW(nullptr), name);
}

void LoadPNGResourceToImage(TImage& image, const std::wstring& name) {
  image.SetPicture(LoadPngResource(GetModuleHandleW(nullptr), name));
}
