// The region scan behind a shaped window, and the progress bar's position rule.

#include "ui/progress_position.h"
#include "ui/region_scan.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint32_t Px(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

}  // namespace

TEST(RegionScan, AlphaModeCutsOnlyPixelsWithAlphaZero) {
  const std::uint32_t clear = Px(0, 255, 255, 255);
  const std::uint32_t faint = Px(1, 0, 0, 0);
  const std::uint32_t solid = Px(255, 10, 20, 30);
  // 4 x 3: a cut top-left corner, a pixel with alpha 1 that stays inside, a gap in the last row.
  const std::vector<std::uint32_t> pixels = {
      clear, clear, solid, solid,  //
      clear, faint, solid, solid,  //
      solid, clear, clear, faint,
  };
  const std::vector<RegionRun> expected = {{0, 2, 4}, {1, 1, 4}, {2, 0, 1}, {2, 3, 4}};
  EXPECT_EQ(ScanRegionRuns(pixels, 4, 3, 0, true), expected);
}

TEST(RegionScan, ColourKeyModeCutsTheKeyColourWhateverItsAlpha) {
  const std::uint32_t key = 0x00112233;
  const std::vector<std::uint32_t> pixels = {
      Px(255, 0x11, 0x22, 0x33), Px(0, 0x11, 0x22, 0x33), Px(0, 0x11, 0x22, 0x34),  //
      Px(9, 0x12, 0x22, 0x33),   Px(255, 0x11, 0x22, 0x33), Px(255, 0, 0, 0),
  };
  const std::vector<RegionRun> expected = {{0, 2, 3}, {1, 0, 1}, {1, 2, 3}};
  EXPECT_EQ(ScanRegionRuns(pixels, 3, 2, key, false), expected);
}

TEST(RegionScan, EmptyOrFullyTransparentMasksGiveNoRuns) {
  EXPECT_TRUE(ScanRegionRuns({}, 0, 0, 0, true).empty());
  EXPECT_TRUE(ScanRegionRuns({}, 0, 5, 0, false).empty());
  const std::vector<std::uint32_t> clear(6, Px(0, 1, 2, 3));
  EXPECT_TRUE(ScanRegionRuns(clear, 3, 2, 0, true).empty());
  EXPECT_TRUE(ScanRegionRuns(clear, 3, 2, 0x010203, false).empty());
  // A buffer shorter than the stated size is not read past its end.
  EXPECT_TRUE(ScanRegionRuns(clear, 4, 2, 0, true).empty());
}

TEST(ProgressPosition, StoresClampedAboveAndFlipsOnlyItsOwnCell) {
  struct Case {
    std::int32_t value;
    std::int32_t cells;
    PositionChange expected;
  };
  const Case cases[] = {
      {1, 15, {1, 0}},    {3, 15, {3, 2}},   {15, 15, {15, 14}}, {20, 15, {15, 14}},
      {0, 15, {0, -1}},   {-4, 15, {-4, -1}}, {5, 0, {0, -1}},   {-1, 0, {-1, -1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AssignPosition(c.value, c.cells), c.expected) << c.value << " on " << c.cells << " cells";
  }
}

TEST(ProgressPosition, CellsOfTheMainWindowsBarsStandEightPixelsApart) {
  const TImageRect start{18, 40, 6, 7};
  EXPECT_EQ(CellLeft(start, 2, 0), 40);
  EXPECT_EQ(CellLeft(start, 2, 1), 48);
  EXPECT_EQ(CellLeft(start, 2, 14), 152);
}
