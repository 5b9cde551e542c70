#include "ui/premultiply_alpha.h"

#include <cmath>

std::vector<std::uint8_t> PremultiplyAlpha(const PngImage& picture) {
  std::vector<std::uint8_t> bgra(picture.rgba.size());
  for (std::size_t i = 0; i + 3 < picture.rgba.size(); i += 4) {
    const std::uint8_t alpha = picture.rgba[i + 3];
    bgra[i + 3] = alpha;
    if (alpha == 0) continue;  // the colour bytes stay 0
    const float factor = static_cast<float>(alpha) / 255.0f;
    for (int c = 0; c < 3; ++c) {
      bgra[i + static_cast<std::size_t>(c)] =
          static_cast<std::uint8_t>(std::lround(static_cast<float>(picture.rgba[i + 2 - static_cast<std::size_t>(c)]) * factor));
    }
  }
  return bgra;
}
