#include "ui/png_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

enum ColourType : std::uint8_t { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

std::uint32_t ReadBe32(const std::uint8_t* p) noexcept {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint16_t ReadBe16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

bool IsType(const std::uint8_t* type, const char (&name)[5]) noexcept {
  return std::memcmp(type, name, 4) == 0;
}

struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t colourType = 0;
  unsigned channels = 0;
};

PngError ParseHeader(std::span<const std::uint8_t> data, Header& header) {
  if (data.size() != 13) return PngError::kBadIhdr;
  header.width = ReadBe32(&data[0]);
  header.height = ReadBe32(&data[4]);
  const std::uint8_t bitDepth = data[8];
  header.colourType = data[9];
  const std::uint8_t compression = data[10];
  const std::uint8_t filter = data[11];
  const std::uint8_t interlace = data[12];
  if (header.width == 0 || header.height == 0) return PngError::kZeroSize;
  switch (header.colourType) {
    case kGrey: header.channels = 1; break;
    case kRgb: header.channels = 3; break;
    case kPalette: header.channels = 1; break;
    case kGreyAlpha: header.channels = 2; break;
    case kRgba: header.channels = 4; break;
    default: return PngError::kColourType;
  }
  if (bitDepth != 8) return PngError::kBitDepth;
  if (compression != 0 || filter != 0 || interlace > 1) return PngError::kBadIhdr;
  if (interlace == 1) return PngError::kInterlaced;
  if (header.width > kPngMaxDimension || header.height > kPngMaxDimension ||
      std::uint64_t{header.width} * header.height > kPngMaxPixels) {
    return PngError::kTooLarge;
  }
  return PngError::kNone;
}

// Inflates the concatenated IDAT data chunk by chunk into a buffer that grows only as data
// arrives, so a header that promises a large image costs nothing until its data is there.
class Inflater {
public:
  explicit Inflater(std::size_t expected) : expected_(expected) {
    stream_.zalloc = Z_NULL;
    stream_.zfree = Z_NULL;
    stream_.opaque = Z_NULL;
    ok_ = inflateInit(&stream_) == Z_OK;
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }

  PngError Feed(std::span<const std::uint8_t> input) {
    if (!ok_) return PngError::kCorruptData;
    if (ended_) return input.empty() ? PngError::kNone : PngError::kCorruptData;
    stream_.next_in = const_cast<Bytef*>(input.data());
    stream_.avail_in = static_cast<uInt>(input.size());
    std::array<std::uint8_t, 32768> buffer;
    while (stream_.avail_in > 0 || !ended_) {
      stream_.next_out = buffer.data();
      stream_.avail_out = static_cast<uInt>(buffer.size());
      const int result = inflate(&stream_, Z_NO_FLUSH);
      const std::size_t produced = buffer.size() - stream_.avail_out;
      if (output_.size() + produced > expected_) return PngError::kDataSize;
      output_.insert(output_.end(), buffer.data(), buffer.data() + produced);
      if (result == Z_STREAM_END) {
        ended_ = true;
        // Bytes after the end of the deflate stream belong to nothing.
        return stream_.avail_in == 0 ? PngError::kNone : PngError::kCorruptData;
      }
      if (result == Z_BUF_ERROR || (result == Z_OK && stream_.avail_in == 0 && produced == 0)) {
        return PngError::kNone;  // this chunk is used up; the stream goes on in the next one
      }
      if (result != Z_OK) return PngError::kCorruptData;
    }
    return PngError::kNone;
  }

  PngError Finish() const {
    if (output_.size() < expected_) return PngError::kDataSize;
    if (!ended_) return PngError::kCorruptData;
    return PngError::kNone;
  }

  std::vector<std::uint8_t>& Output() noexcept { return output_; }

private:
  z_stream stream_{};
  bool ok_ = false;
  bool ended_ = false;
  std::size_t expected_;
  std::vector<std::uint8_t> output_;
};

std::uint8_t Paeth(int a, int b, int c) noexcept {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  if (pb <= pc) return static_cast<std::uint8_t>(b);
  return static_cast<std::uint8_t>(c);
}

// Reverses the row filters in place; each row keeps its leading filter byte.
PngError Unfilter(std::vector<std::uint8_t>& raw, const Header& header) {
  const std::size_t bpp = header.channels;
  const std::size_t stride = std::size_t{header.width} * bpp;
  const std::uint8_t* previous = nullptr;
  for (std::uint32_t y = 0; y < header.height; ++y) {
    std::uint8_t* row = &raw[y * (stride + 1)];
    const std::uint8_t filter = row[0];
    if (filter > 4) return PngError::kBadFilter;
    std::uint8_t* line = row + 1;
    for (std::size_t i = 0; i < stride; ++i) {
      const int left = i >= bpp ? line[i - bpp] : 0;
      const int up = previous ? previous[i] : 0;
      const int upLeft = previous && i >= bpp ? previous[i - bpp] : 0;
      int predictor = 0;
      switch (filter) {
        case 0: predictor = 0; break;
        case 1: predictor = left; break;
        case 2: predictor = up; break;
        case 3: predictor = (left + up) / 2; break;
        case 4: predictor = Paeth(left, up, upLeft); break;
      }
      line[i] = static_cast<std::uint8_t>(line[i] + predictor);
    }
    previous = line;
  }
  return PngError::kNone;
}

struct Transparency {
  bool present = false;
  std::uint16_t grey = 0;
  std::array<std::uint16_t, 3> rgb{};
  std::array<std::uint8_t, 256> paletteAlpha{};
};

PngError Expand(const std::vector<std::uint8_t>& raw, const Header& header,
                const std::vector<std::uint8_t>& palette, const Transparency& trns, PngImage& image) {
  const std::size_t stride = std::size_t{header.width} * header.channels;
  const std::size_t paletteEntries = palette.size() / 3;
  image.width = header.width;
  image.height = header.height;
  image.rgba.assign(std::size_t{header.width} * header.height * 4, 0);
  std::uint8_t* out = image.rgba.data();
  for (std::uint32_t y = 0; y < header.height; ++y) {
    const std::uint8_t* in = &raw[y * (stride + 1) + 1];
    for (std::uint32_t x = 0; x < header.width; ++x, out += 4) {
      switch (header.colourType) {
        case kGrey: {
          const std::uint8_t g = in[x];
          out[0] = out[1] = out[2] = g;
          out[3] = trns.present && trns.grey == g ? 0 : 255;
          break;
        }
        case kGreyAlpha:
          out[0] = out[1] = out[2] = in[2 * x];
          out[3] = in[2 * x + 1];
          break;
        case kRgb: {
          const std::uint8_t* p = &in[3 * x];
          out[0] = p[0];
          out[1] = p[1];
          out[2] = p[2];
          const bool keyed = trns.present && trns.rgb[0] == p[0] && trns.rgb[1] == p[1] && trns.rgb[2] == p[2];
          out[3] = keyed ? 0 : 255;
          break;
        }
        case kRgba:
          std::memcpy(out, &in[4 * x], 4);
          break;
        case kPalette: {
          const std::uint8_t index = in[x];
          if (index >= paletteEntries) return PngError::kPaletteIndex;
          std::memcpy(out, &palette[3 * std::size_t{index}], 3);
          out[3] = trns.paletteAlpha[index];
          break;
        }
        default:
          return PngError::kColourType;
      }
    }
  }
  return PngError::kNone;
}

}  // namespace

const wchar_t* PngErrorText(PngError error) noexcept {
  switch (error) {
    case PngError::kNone: return L"No error";
    case PngError::kSignature: return L"The picture is not a PNG file";
    case PngError::kTruncated: return L"The PNG picture is truncated";
    case PngError::kChunkLength: return L"A PNG chunk has an invalid length";
    case PngError::kChunkCrc: return L"A PNG chunk has a wrong CRC";
    case PngError::kFirstChunkNotIhdr: return L"The PNG picture does not start with its header";
    case PngError::kBadIhdr: return L"The PNG header is invalid";
    case PngError::kZeroSize: return L"The PNG picture has no pixels";
    case PngError::kTooLarge: return L"The PNG picture is too large";
    case PngError::kBitDepth: return L"Only PNG pictures with 8 bits per channel are supported";
    case PngError::kColourType: return L"The PNG picture has an invalid colour type";
    case PngError::kInterlaced: return L"Interlaced PNG pictures are not supported";
    case PngError::kChunkOrder: return L"A PNG chunk is out of place";
    case PngError::kBadPalette: return L"The PNG palette is missing or invalid";
    case PngError::kBadTransparency: return L"The PNG transparency chunk is invalid";
    case PngError::kUnknownCriticalChunk: return L"The PNG picture needs an unknown critical chunk";
    case PngError::kNoImageData: return L"The PNG picture has no image data";
    case PngError::kCorruptData: return L"The PNG image data is corrupt";
    case PngError::kDataSize: return L"The PNG image data does not match the picture's size";
    case PngError::kBadFilter: return L"The PNG image data has an invalid row filter";
    case PngError::kPaletteIndex: return L"A PNG pixel refers to a colour beyond the palette";
  }
  return L"Unknown PNG error";
}

PngError DecodePng(std::span<const std::uint8_t> file, PngImage& image) {
  image = PngImage{};
  if (file.size() < kSignature.size() || !std::equal(kSignature.begin(), kSignature.end(), file.begin())) {
    return PngError::kSignature;
  }

  Header header;
  bool haveHeader = false;
  std::vector<std::uint8_t> palette;
  bool havePalette = false;
  Transparency trns;
  trns.paletteAlpha.fill(255);  // palette entries beyond a tRNS chunk are opaque
  bool inIdat = false;
  bool idatDone = false;
  std::size_t expected = 0;
  std::vector<std::uint8_t>* raw = nullptr;
  // Made at the first IDAT, once the header has fixed how far the data may grow.
  std::optional<Inflater> inflater;

  std::size_t pos = kSignature.size();
  for (;;) {
    if (file.size() - pos < 8) return PngError::kTruncated;
    const std::uint32_t length = ReadBe32(&file[pos]);
    if (length > 0x7FFFFFFFu) return PngError::kChunkLength;
    if (file.size() - pos - 8 < std::size_t{length} + 4) return PngError::kTruncated;
    const std::uint8_t* type = &file[pos + 4];
    const std::span<const std::uint8_t> data = file.subspan(pos + 8, length);
    const std::uint32_t storedCrc = ReadBe32(&file[pos + 8 + length]);
    if (crc32(0L, type, 4 + length) != storedCrc) return PngError::kChunkCrc;
    pos += 12 + std::size_t{length};

    const bool isIhdr = IsType(type, "IHDR");
    if (!haveHeader) {
      if (!isIhdr) return PngError::kFirstChunkNotIhdr;
      if (const PngError e = ParseHeader(data, header); e != PngError::kNone) return e;
      haveHeader = true;
      expected = std::size_t{header.height} * (std::size_t{header.width} * header.channels + 1);
      continue;
    }
    if (isIhdr) return PngError::kChunkOrder;

    const bool isIdat = IsType(type, "IDAT");
    if (inIdat && !isIdat) {
      inIdat = false;
      idatDone = true;
    }

    if (IsType(type, "IEND")) {
      if (!inflater) return PngError::kNoImageData;
      if (const PngError e = inflater->Finish(); e != PngError::kNone) return e;
      raw = &inflater->Output();
      break;
    }
    if (isIdat) {
      if (idatDone) return PngError::kChunkOrder;
      if (header.colourType == kPalette && !havePalette) return PngError::kBadPalette;
      if (!inflater) inflater.emplace(expected);
      inIdat = true;
      if (const PngError e = inflater->Feed(data); e != PngError::kNone) return e;
    } else if (IsType(type, "PLTE")) {
      if (havePalette || inflater) return PngError::kChunkOrder;
      if (header.colourType == kGrey || header.colourType == kGreyAlpha) return PngError::kBadPalette;
      if (length == 0 || length % 3 != 0 || length > 256 * 3) return PngError::kBadPalette;
      palette.assign(data.begin(), data.end());
      havePalette = true;
    } else if (IsType(type, "tRNS")) {
      if (trns.present || inflater) return PngError::kChunkOrder;
      switch (header.colourType) {
        case kGrey:
          if (length != 2) return PngError::kBadTransparency;
          trns.grey = ReadBe16(&data[0]);
          break;
        case kRgb:
          if (length != 6) return PngError::kBadTransparency;
          for (int i = 0; i < 3; ++i) trns.rgb[i] = ReadBe16(&data[2 * i]);
          break;
        case kPalette:
          if (!havePalette) return PngError::kChunkOrder;
          if (length == 0 || length > palette.size() / 3) return PngError::kBadTransparency;
          std::copy(data.begin(), data.end(), trns.paletteAlpha.begin());
          break;
        default:
          return PngError::kBadTransparency;  // the picture carries its own alpha
      }
      trns.present = true;
    } else if ((type[0] & 0x20) == 0) {
      return PngError::kUnknownCriticalChunk;
    }
  }

  if (const PngError e = Unfilter(*raw, header); e != PngError::kNone) return e;
  PngImage decoded;
  if (const PngError e = Expand(*raw, header, palette, trns, decoded); e != PngError::kNone) return e;
  image = std::move(decoded);
  return PngError::kNone;
}

PngImage DecodePngOrThrow(std::span<const std::uint8_t> file) {
  PngImage image;
  if (const PngError e = DecodePng(file, image); e != PngError::kNone) throw EPNGError(e);
  return image;
}

std::vector<std::uint8_t> PremultipliedBgra(const PngImage& image) {
  std::vector<std::uint8_t> out(image.rgba.size());
  for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
    const std::uint8_t a = image.rgba[i + 3];
    out[i + 0] = Premultiply(image.rgba[i + 2], a);
    out[i + 1] = Premultiply(image.rgba[i + 1], a);
    out[i + 2] = Premultiply(image.rgba[i + 0], a);
    out[i + 3] = a;
  }
  return out;
}
