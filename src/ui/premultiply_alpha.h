#pragma once

#include "ui/png_decoder.h"

#include <cstdint>
#include <vector>

// The notice's own premultiplying: blue, green, red, alpha bytes from a straight picture, each
// colour scaled by alpha / 255 (one single-precision factor per pixel) and rounded. It gives the
// same bytes as PremultipliedBgra.
std::vector<std::uint8_t> PremultiplyAlpha(const PngImage& picture);
