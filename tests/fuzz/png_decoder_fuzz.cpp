// Any bytes given to the PNG decoder end in a picture or an error, never in a crash, and a
// picture's pixels always match its stated size.

#include "ui/png_decoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PngImage image;
  const PngError error = DecodePng(std::span<const std::uint8_t>(data, size), image);
  if (error != PngError::kNone) {
    if (!image.rgba.empty() || PngErrorText(error)[0] == L'\0') std::abort();
    return 0;
  }
  if (image.width == 0 || image.height == 0 ||
      image.rgba.size() != std::size_t{image.width} * image.height * 4) {
    std::abort();
  }
  const auto bgra = PremultipliedBgra(image);
  for (std::size_t i = 0; i < bgra.size(); i += 4) {
    // Premultiplied colour never exceeds its alpha.
    if (bgra[i] > bgra[i + 3] || bgra[i + 1] > bgra[i + 3] || bgra[i + 2] > bgra[i + 3]) std::abort();
  }
  return 0;
}
