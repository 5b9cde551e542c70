#pragma once

// Builds small PNG files byte by byte, so a test can state the pixels it expects and can break
// any part of the file on purpose.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

inline void PutBe32(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

inline Bytes Chunk(const std::string& type, const Bytes& data) {
  Bytes out;
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  Bytes body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBe32(out, static_cast<std::uint32_t>(crc32(0L, body.data(), static_cast<uInt>(body.size()))));
  return out;
}

inline Bytes Ihdr(std::uint32_t width, std::uint32_t height, std::uint8_t colourType, std::uint8_t bitDepth = 8,
                  std::uint8_t interlace = 0) {
  Bytes data;
  PutBe32(data, width);
  PutBe32(data, height);
  data.insert(data.end(), {bitDepth, colourType, 0, 0, interlace});
  return Chunk("IHDR", data);
}

inline Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
  out.resize(size);
  return out;
}

inline int PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p;
  const int pb = p > b ? p - b : b - p;
  const int pc = p > c ? p - c : c - p;
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Filters each row of `pixels` (width * bpp bytes per row) the way an encoder does and prefixes
// it with its type byte; row y uses filters[y % filters.size()].
inline Bytes FilterRows(const Bytes& pixels, std::size_t width, std::size_t height, std::size_t bpp,
                        const Bytes& filters) {
  const std::size_t stride = width * bpp;
  Bytes out;
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t filter = filters[y % filters.size()];
    out.push_back(filter);
    for (std::size_t i = 0; i < stride; ++i) {
      const int x = pixels[y * stride + i];
      const int a = i >= bpp ? pixels[y * stride + i - bpp] : 0;
      const int b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
      const int c = y > 0 && i >= bpp ? pixels[(y - 1) * stride + i - bpp] : 0;
      int predictor = 0;
      switch (filter) {
        case 1: predictor = a; break;
        case 2: predictor = b; break;
        case 3: predictor = (a + b) / 2; break;
        case 4: predictor = PaethPredictor(a, b, c); break;
        default: predictor = 0; break;
      }
      out.push_back(static_cast<std::uint8_t>(x - predictor));
    }
  }
  return out;
}

inline Bytes Signature() { return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A whole file: signature, IHDR, the extra chunks, one IDAT with the filtered rows, IEND.
inline Bytes File(std::uint32_t width, std::uint32_t height, std::uint8_t colourType, std::size_t bpp,
                  const Bytes& pixels, const Bytes& filters = {0}, const Bytes& extraChunks = {}) {
  return Join({Signature(), Ihdr(width, height, colourType), extraChunks,
               Chunk("IDAT", Deflate(FilterRows(pixels, width, height, bpp, filters))), Chunk("IEND", {})});
}

}  // namespace pngtest
