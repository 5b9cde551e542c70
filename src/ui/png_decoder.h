#pragma once

// PNG decoding for the skin pictures: 8-bit, non-interlaced grey, grey + alpha, RGB, RGBA and
// palette images (with tRNS), and the premultiplied form that per-pixel alpha drawing needs.
// Pure functions over bytes: no I/O, no <windows.h>.

#include "common/error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

enum class PngError {
  kNone,
  kSignature,          // not a PNG file
  kTruncated,          // the file ends inside a chunk or before IEND
  kChunkLength,        // a chunk length above 2^31 - 1
  kChunkCrc,           // a chunk's CRC does not match its bytes
  kFirstChunkNotIhdr,  // IHDR missing or not first
  kBadIhdr,            // IHDR of the wrong size, or unknown compression, filter or interlace code
  kZeroSize,           // width or height 0
  kTooLarge,           // dimensions beyond what the decoder accepts
  kBitDepth,           // a bit depth other than 8
  kColourType,         // a colour type that PNG does not define
  kInterlaced,         // Adam7 images are not accepted
  kChunkOrder,         // a chunk where it may not stand (duplicate IHDR or PLTE, IDATs split)
  kBadPalette,         // PLTE of the wrong size, or missing for a palette image
  kBadTransparency,    // tRNS of the wrong size for the colour type
  kUnknownCriticalChunk,
  kNoImageData,        // no IDAT
  kCorruptData,        // the deflate stream is damaged
  kDataSize,           // the image data is shorter or longer than the image needs
  kBadFilter,          // a row's filter type above 4
  kPaletteIndex,       // a pixel's palette index beyond the palette
};

// The message text of each error, as the decoder raises it.
const wchar_t* PngErrorText(PngError error) noexcept;

// An error of the decoder, with its code.
class EPNGError : public Exception {
public:
  explicit EPNGError(PngError code) : Exception(PngErrorText(code), L"EPNGError"), code_(code) {}
  PngError Code() const noexcept { return code_; }

private:
  PngError code_;
};

// Decoded pixels: straight (not premultiplied) 8-bit RGBA, rows top-down.
struct PngImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;
};

// The largest picture accepted: no skin picture comes near it, and it keeps a hostile header
// from asking for a huge allocation.
inline constexpr std::uint32_t kPngMaxDimension = 8192;
inline constexpr std::uint64_t kPngMaxPixels = 16u * 1024 * 1024;

PngError DecodePng(std::span<const std::uint8_t> file, PngImage& image);

// Throws EPNGError on any error.
PngImage DecodePngOrThrow(std::span<const std::uint8_t> file);

// The premultiplied 32-bit form: bytes blue, green, red, alpha per pixel, each colour
// (c * a + 127) / 255, rows top-down.
std::vector<std::uint8_t> PremultipliedBgra(const PngImage& image);

// The premultiplied value of one colour channel.
constexpr std::uint8_t Premultiply(std::uint8_t colour, std::uint8_t alpha) noexcept {
  return static_cast<std::uint8_t>((colour * alpha + 127) / 255);
}
