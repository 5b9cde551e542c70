// The PNG decoder against files with known pixels, every way a file can be refused, and the
// premultiplied form.

#include "png_builder.h"
#include "ui/png_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

using namespace pngtest;

namespace {

PngError Decode(const Bytes& file, PngImage* out = nullptr) {
  PngImage image;
  const PngError error = DecodePng(file, image);
  if (out) *out = image;
  return error;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A 4 x 3 picture whose neighbouring bytes differ in both directions, so each filter's
// predictor (and its wrap-around) changes the stored bytes.
constexpr std::uint32_t kW = 4;
constexpr std::uint32_t kH = 3;
std::uint8_t Sample(std::size_t i) { return static_cast<std::uint8_t>((i * 97 + 31) ^ (i * 13)); }

struct ColourCase {
  const char* name;
  std::uint8_t colourType;
  std::size_t bpp;
  Bytes extra;  // PLTE, tRNS
};

// What each pixel must decode to, written out from the colour type's own definition.
Bytes Expected(const ColourCase& c, const Bytes& samples) {
  Bytes rgba;
  for (std::size_t p = 0; p < kW * kH; ++p) {
    const std::uint8_t* s = &samples[p * c.bpp];
    switch (c.colourType) {
      case 0: rgba.insert(rgba.end(), {s[0], s[0], s[0], 255}); break;
      case 2: rgba.insert(rgba.end(), {s[0], s[1], s[2], 255}); break;
      case 4: rgba.insert(rgba.end(), {s[0], s[0], s[0], s[1]}); break;
      case 6: rgba.insert(rgba.end(), {s[0], s[1], s[2], s[3]}); break;
      case 3: {
        // The palette below maps index i to (i, 2i, 255 - i); tRNS gives the first three entries
        // alpha 0, 100 and 200, the rest stay opaque.
        const std::uint8_t i = s[0];
        const std::uint8_t alpha = i == 0 ? 0 : i == 1 ? 100 : i == 2 ? 200 : 255;
        rgba.insert(rgba.end(), {i, static_cast<std::uint8_t>(2 * i), static_cast<std::uint8_t>(255 - i), alpha});
        break;
      }
    }
  }
  return rgba;
}

ColourCase PaletteCase() {
  Bytes plte;
  for (int i = 0; i < 8; ++i) plte.insert(plte.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
                                                       static_cast<std::uint8_t>(255 - i)});
  return {"palette", 3, 1, Join({Chunk("PLTE", plte), Chunk("tRNS", {0, 100, 200})})};
}

Bytes Samples(const ColourCase& c) {
  Bytes samples;
  for (std::size_t i = 0; i < kW * kH * c.bpp; ++i) {
    samples.push_back(c.colourType == 3 ? static_cast<std::uint8_t>(i % 8) : Sample(i));
  }
  return samples;
}

}  // namespace

TEST(PngDecoder, DecodesEveryColourTypeThroughEveryFilter) {
  const std::vector<ColourCase> cases = {
      {"grey", 0, 1, {}}, {"RGB", 2, 3, {}}, PaletteCase(), {"grey+alpha", 4, 2, {}}, {"RGBA", 6, 4, {}}};
  const std::vector<Bytes> filterSets = {{0}, {1}, {2}, {3}, {4}, {4, 2, 1}};
  for (const ColourCase& c : cases) {
    const Bytes samples = Samples(c);
    for (const Bytes& filters : filterSets) {
      SCOPED_TRACE(std::string(c.name) + " filter " + std::to_string(filters[0]) +
                   (filters.size() > 1 ? " mixed" : ""));
      PngImage image;
      ASSERT_EQ(Decode(File(kW, kH, c.colourType, c.bpp, samples, filters, c.extra), &image), PngError::kNone);
      EXPECT_EQ(image.width, kW);
      EXPECT_EQ(image.height, kH);
      EXPECT_EQ(image.rgba, Expected(c, samples));
    }
  }
}

TEST(PngDecoder, ColourKeyTransparencyAndDataSplitOverSeveralIdatChunks) {
  // RGB with a tRNS key: the key colour decodes with alpha 0, any other colour stays opaque.
  const Bytes rgb = {10, 20, 30, 10, 20, 31};
  PngImage image;
  ASSERT_EQ(Decode(File(2, 1, 2, 3, rgb, {0}, Chunk("tRNS", {0, 10, 0, 20, 0, 30})), &image), PngError::kNone);
  EXPECT_EQ(image.rgba, (Bytes{10, 20, 30, 0, 10, 20, 31, 255}));

  const Bytes grey = {7, 8};
  ASSERT_EQ(Decode(File(2, 1, 0, 1, grey, {0}, Chunk("tRNS", {0, 8})), &image), PngError::kNone);
  EXPECT_EQ(image.rgba, (Bytes{7, 7, 7, 255, 8, 8, 8, 0}));

  // One deflate stream cut into IDAT chunks of one byte each, with an ancillary chunk before.
  const Bytes samples = Samples({"RGBA", 6, 4, {}});
  const Bytes stream = Deflate(FilterRows(samples, kW, kH, 4, {1, 3}));
  Bytes file = Join({Signature(), Ihdr(kW, kH, 6), Chunk("tEXt", {'a', 0, 'b'})});
  for (std::uint8_t byte : stream) file = Join({file, Chunk("IDAT", {byte})});
  file = Join({file, Chunk("IEND", {})});
  ASSERT_EQ(Decode(file, &image), PngError::kNone);
  EXPECT_EQ(image.rgba, Expected({"RGBA", 6, 4, {}}, samples));
}

TEST(PngDecoder, RejectsEachBrokenFileWithItsOwnError) {
  const Bytes rgba = Samples({"RGBA", 6, 4, {}});
  const Bytes good = File(kW, kH, 6, 4, rgba);
  const Bytes idat = Chunk("IDAT", Deflate(FilterRows(rgba, kW, kH, 4, {0})));
  const Bytes iend = Chunk("IEND", {});
  const auto withIhdr = [&](const Bytes& ihdr) { return Join({Signature(), ihdr, idat, iend}); };
  const auto withData = [&](const Bytes& raw) {
    return Join({Signature(), Ihdr(kW, kH, 6), Chunk("IDAT", Deflate(raw)), iend});
  };
  Bytes rows = FilterRows(rgba, kW, kH, 4, {0});

  Bytes badCrc = good;
  badCrc[33 + 8 + 2] ^= 0x01;  // a data byte of the IDAT after the 33-byte signature and IHDR
  Bytes wrongSignature = good;
  wrongSignature[1] = 'p';
  Bytes hugeLength = good;
  hugeLength[33] = 0x80;  // the IDAT length's top bit
  Bytes badFilter = rows;
  badFilter[1 + kW * 4] = 5;  // the second row's filter byte
  Bytes shortRows(rows.begin(), rows.end() - 1);
  Bytes longRows = rows;
  longRows.push_back(0);
  const Bytes stream = Deflate(rows);
  const Bytes halfStream(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(stream.size() / 2));
  Bytes garbage = stream;
  garbage[2] ^= 0xFF;
  garbage[3] ^= 0xFF;
  Bytes paletteRows = {0, 0, 1, 9};  // one row of three indices; 9 is past a 2-entry palette
  Bytes plte2 = {1, 2, 3, 4, 5, 6};

  struct Case {
    const char* name;
    Bytes file;
    PngError error;
  };
  const std::vector<Case> cases = {
      {"empty file", {}, PngError::kSignature},
      {"wrong signature", wrongSignature, PngError::kSignature},
      {"ends after the signature", Signature(), PngError::kTruncated},
      {"ends inside IDAT", Bytes(good.begin(), good.begin() + 50), PngError::kTruncated},
      {"no IEND", Join({Signature(), Ihdr(kW, kH, 6), idat}), PngError::kTruncated},
      {"chunk length above 2^31", hugeLength, PngError::kChunkLength},
      {"wrong CRC", badCrc, PngError::kChunkCrc},
      {"IDAT before IHDR", Join({Signature(), idat, Ihdr(kW, kH, 6), iend}), PngError::kFirstChunkNotIhdr},
      {"IHDR too short", withIhdr(Chunk("IHDR", Bytes(12, 1))), PngError::kBadIhdr},
      {"zero width", withIhdr(Ihdr(0, kH, 6)), PngError::kZeroSize},
      {"zero height", withIhdr(Ihdr(kW, 0, 6)), PngError::kZeroSize},
      {"16-bit", withIhdr(Ihdr(kW, kH, 6, 16)), PngError::kBitDepth},
      {"1-bit grey", withIhdr(Ihdr(kW, kH, 0, 1)), PngError::kBitDepth},
      {"colour type 5", withIhdr(Ihdr(kW, kH, 5)), PngError::kColourType},
      {"interlaced", withIhdr(Ihdr(kW, kH, 6, 8, 1)), PngError::kInterlaced},
      {"interlace method 2", withIhdr(Ihdr(kW, kH, 6, 8, 2)), PngError::kBadIhdr},
      {"compression method 1",
       withIhdr(Chunk("IHDR", {0, 0, 0, kW, 0, 0, 0, kH, 8, 6, 1, 0, 0})), PngError::kBadIhdr},
      {"wider than the limit", withIhdr(Ihdr(kPngMaxDimension + 1, 1, 6)), PngError::kTooLarge},
      {"too many pixels", withIhdr(Ihdr(5000, 5000, 6)), PngError::kTooLarge},
      {"largest header", withIhdr(Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 6)), PngError::kTooLarge},
      {"second IHDR", Join({Signature(), Ihdr(kW, kH, 6), Ihdr(kW, kH, 6), idat, iend}), PngError::kChunkOrder},
      {"IDATs split by another chunk",
       Join({Signature(), Ihdr(kW, kH, 6), idat, Chunk("tEXt", {'a', 0}), idat, iend}), PngError::kChunkOrder},
      {"PLTE after IDAT",
       Join({Signature(), Ihdr(kW, kH, 2), Chunk("IDAT", Deflate(FilterRows(Bytes(kW * kH * 3, 1), kW, kH, 3, {0}))),
             Chunk("PLTE", plte2), iend}),
       PngError::kChunkOrder},
      {"palette picture without PLTE", Join({Signature(), Ihdr(3, 1, 3), Chunk("IDAT", Deflate(paletteRows)), iend}),
       PngError::kBadPalette},
      {"PLTE not a multiple of 3",
       Join({Signature(), Ihdr(3, 1, 3), Chunk("PLTE", {1, 2, 3, 4}), Chunk("IDAT", Deflate(paletteRows)), iend}),
       PngError::kBadPalette},
      {"tRNS longer than the palette",
       Join({Signature(), Ihdr(3, 1, 3), Chunk("PLTE", plte2), Chunk("tRNS", {1, 2, 3}),
             Chunk("IDAT", Deflate(paletteRows)), iend}),
       PngError::kBadTransparency},
      {"tRNS on a picture with alpha", Join({Signature(), Ihdr(kW, kH, 6), Chunk("tRNS", {0, 0}), idat, iend}),
       PngError::kBadTransparency},
      {"unknown critical chunk", Join({Signature(), Ihdr(kW, kH, 6), Chunk("ABCD", {}), idat, iend}),
       PngError::kUnknownCriticalChunk},
      {"no IDAT", Join({Signature(), Ihdr(kW, kH, 6), iend}), PngError::kNoImageData},
      {"corrupt deflate stream", Join({Signature(), Ihdr(kW, kH, 6), Chunk("IDAT", garbage), iend}),
       PngError::kCorruptData},
      {"deflate stream cut short", Join({Signature(), Ihdr(kW, kH, 6), Chunk("IDAT", halfStream), iend}),
       PngError::kDataSize},
      {"one byte too little data", withData(shortRows), PngError::kDataSize},
      {"one byte too much data", withData(longRows), PngError::kDataSize},
      {"bad filter byte", withData(badFilter), PngError::kBadFilter},
      {"palette index beyond the palette",
       Join({Signature(), Ihdr(3, 1, 3), Chunk("PLTE", plte2), Chunk("IDAT", Deflate(paletteRows)), iend}),
       PngError::kPaletteIndex},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngImage image;
    EXPECT_EQ(Decode(c.file, &image), c.error);
    EXPECT_TRUE(image.rgba.empty()) << "a refused file leaves no pixels";
    try {
      DecodePngOrThrow(c.file);
      ADD_FAILURE() << "no error raised";
    } catch (const EPNGError& e) {
      EXPECT_EQ(e.Code(), c.error);
      EXPECT_EQ(e.Message(), PngErrorText(c.error));
    }
  }
}

TEST(PngDecoder, EveryErrorHasItsOwnText) {
  std::set<std::wstring> texts;
  for (int e = 0; e <= static_cast<int>(PngError::kPaletteIndex); ++e) {
    const std::wstring text = PngErrorText(static_cast<PngError>(e));
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(texts.insert(text).second) << "error " << e << " shares its text";
  }
}

TEST(PngDecoder, EveryPrefixAndEveryByteFlipOfAGoodFileIsHandled) {
  const ColourCase palette = PaletteCase();
  const Bytes good = File(kW, kH, 3, 1, Samples(palette), {4, 1}, palette.extra);
  ASSERT_EQ(Decode(good), PngError::kNone);
  for (std::size_t n = 0; n < good.size(); ++n) {
    EXPECT_NE(Decode(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n))), PngError::kNone)
        << "prefix of " << n << " bytes";
  }
  // A flipped bit anywhere inside a chunk is caught by its CRC at the latest.
  for (std::size_t i = 8; i < good.size(); ++i) {
    Bytes broken = good;
    broken[i] ^= 0x10;
    EXPECT_NE(Decode(broken), PngError::kNone) << "byte " << i;
  }
}

TEST(PngDecoder, ReadsThePicturesOfTheSkin) {
  const std::string dir = LAGVANE_RESOURCE_DIR;
  struct Picture {
    const char* path;
    std::uint32_t width;
    std::uint32_t height;
  };
  const Picture pictures[] = {
      {"skin/PROGRESSBAR_BACKGROUND.png", 6, 7}, {"skin/PROGRESSBAR_GAME.png", 6, 7},
      {"skin/PROGRESSBAR_WEB.png", 6, 7},        {"skin/ButtonGame_ON.png", 31, 31},
      {"skin/ButtonGame_OFF.png", 31, 31},       {"skin/ButtonGame_OVER.png", 31, 31},
      {"skin/ButtonWeb_ON.png", 16, 15},         {"skin/ButtonWeb_OFF.png", 16, 15},
      {"skin/ButtonWeb_OVER.png", 16, 15},       {"skin/POPUP_GAME.png", 321, 89},
      {"skin/POPUP_WEB.png", 321, 89},           {"skin/POPUP_GAME_UNDER.png", 321, 89},
      {"skin/POPUP_WEB_UNDER.png", 321, 89},     {"skin/POPUP_MSMQ_INSTALL.png", 321, 34},
      {"skin/POPUP_MSMQ_UNINSTALL.png", 321, 33}, {"form/SKIN.png", 247, 42},
      {"form/DIVIDER.png", 3, 18},
  };
  for (const Picture& p : pictures) {
    SCOPED_TRACE(p.path);
    PngImage image;
    ASSERT_EQ(Decode(ReadFile(dir + "/" + p.path), &image), PngError::kNone);
    EXPECT_EQ(image.width, p.width);
    EXPECT_EQ(image.height, p.height);
  }

  PngImage divider;  // an opaque RGB picture with known columns
  ASSERT_EQ(Decode(ReadFile(dir + "/form/DIVIDER.png"), &divider), PngError::kNone);
  EXPECT_EQ(Bytes(divider.rgba.begin(), divider.rgba.begin() + 12), (Bytes{94, 94, 94, 255, 200, 200, 200, 255, 94, 94, 94, 255}));

  PngImage skin;  // the cut corner is transparent, the bottom row a dark line at alpha 112
  ASSERT_EQ(Decode(ReadFile(dir + "/form/SKIN.png"), &skin), PngError::kNone);
  EXPECT_EQ(skin.rgba[3], 0);
  EXPECT_EQ(skin.rgba[(41 * 247 + 120) * 4 + 3], 112);

  PngImage off;  // grey + alpha: equal blue, green and red wherever it is drawn
  ASSERT_EQ(Decode(ReadFile(dir + "/skin/ButtonGame_OFF.png"), &off), PngError::kNone);
  for (std::size_t i = 0; i < off.rgba.size(); i += 4) {
    ASSERT_TRUE(off.rgba[i] == off.rgba[i + 1] && off.rgba[i] == off.rgba[i + 2]);
  }
}

TEST(PngPremultiply, RoundsEachChannelToTheNearestIntegerInBlueGreenRedAlphaOrder) {
  for (int c = 0; c < 256; ++c) {
    for (int a = 0; a < 256; ++a) {
      const auto nearest = static_cast<int>(std::floor(c * a / 255.0 + 0.5));
      ASSERT_EQ(Premultiply(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(a)), nearest) << c << "," << a;
    }
  }
  PngImage image;
  image.width = 3;
  image.height = 1;
  image.rgba = {10, 20, 30, 255, 255, 128, 1, 128, 200, 100, 50, 0};
  EXPECT_EQ(PremultipliedBgra(image), (Bytes{30, 20, 10, 255, 1, 64, 128, 128, 0, 0, 0, 0}));
}
