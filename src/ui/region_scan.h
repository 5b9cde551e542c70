#pragma once

// The scan behind a window region cut from a picture: which runs of each row are inside.
// Portable, so the rule is tested without a window system.

#include <cstdint>
#include <span>
#include <vector>

// One inside run of a row: pixels left .. right - 1 of row y.
struct RegionRun {
  std::int32_t y = 0;
  std::int32_t left = 0;
  std::int32_t right = 0;
  bool operator==(const RegionRun&) const = default;
};

// `pixels` are 32-bit values 0xAARRGGBB (the bytes blue, green, red, alpha), rows top-down.
// With useAlpha a pixel is outside when its alpha is 0; otherwise when its red, green and blue
// equal those of keyRgb (0x00RRGGBB), whatever its alpha. The runs come row by row, left to right.
std::vector<RegionRun> ScanRegionRuns(std::span<const std::uint32_t> pixels, std::int32_t width,
                                      std::int32_t height, std::uint32_t keyRgb, bool useAlpha);
