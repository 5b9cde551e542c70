#include "ui/png_decoder.h"
#include "ui/premultiply_alpha.h"

#include <gtest/gtest.h>

TEST(PremultiplyAlpha, AgreesWithTheSkinsPremultipliedFormForEveryColourAndAlpha) {
  // One pixel per (colour, alpha) pair, the colour in each channel position in turn.
  PngImage picture;
  picture.width = 256;
  picture.height = 256;
  for (int alpha = 0; alpha < 256; ++alpha) {
    for (int colour = 0; colour < 256; ++colour) {
      picture.rgba.insert(picture.rgba.end(), {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(255 - colour),
                                               static_cast<std::uint8_t>(colour / 2), static_cast<std::uint8_t>(alpha)});
    }
  }
  EXPECT_EQ(PremultiplyAlpha(picture), PremultipliedBgra(picture));
}

TEST(PremultiplyAlpha, ClearsTheColourOfTransparentPixelsAndKeepsOpaqueOnes) {
  PngImage picture{2, 1, {10, 20, 30, 0, 10, 20, 30, 255}};
  EXPECT_EQ(PremultiplyAlpha(picture), (std::vector<std::uint8_t>{0, 0, 0, 0, 30, 20, 10, 255}));
}
