#include "ui/region_scan.h"

std::vector<RegionRun> ScanRegionRuns(std::span<const std::uint32_t> pixels, std::int32_t width,
                                      std::int32_t height, std::uint32_t keyRgb, bool useAlpha) {
  std::vector<RegionRun> runs;
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * height) return runs;
  const std::uint32_t mask = useAlpha ? 0xFF000000u : 0x00FFFFFFu;
  const std::uint32_t key = useAlpha ? 0u : (keyRgb & 0x00FFFFFFu);
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint32_t* row = &pixels[static_cast<std::size_t>(y) * width];
    std::int32_t x = 0;
    while (x < width) {
      while (x < width && (row[x] & mask) == key) ++x;
      if (x == width) break;
      const std::int32_t start = x;
      while (x < width && (row[x] & mask) != key) ++x;
      runs.push_back({y, start, x});
    }
  }
  return runs;
}
