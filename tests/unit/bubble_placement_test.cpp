#include "ui/bubble_placement.h"

#include <gtest/gtest.h>

TEST(BubblePlacement, StandsAboveWhenThereIsRoomElseBelowWithTheTailOverTheAskedButton) {
  struct Case {
    std::int32_t mainLeft, mainTop;
    TKindMode kind;
    TBubblePlacement expected;
  };
  const Case cases[] = {
      {500, 90, TKindMode::kmGame, {490, 1, true, 48}},
      {500, 89, TKindMode::kmGame, {490, 133, false, 58}},
      {500, 0, TKindMode::kmWeb, {390, 44, false, 58}},
      {500, -30, TKindMode::kmWeb, {390, 14, false, 58}},
      {500, 400, TKindMode::kmWeb, {390, 311, true, 48}},
      // Near the left edge the bubble starts off-screen and is not moved back.
      {40, 400, TKindMode::kmWeb, {-70, 311, true, 48}},
      {0, 400, TKindMode::kmNone, {-110, 311, true, 48}},
  };
  for (const Case& c : cases) {
    const TBubblePlacement p = PlaceBubble(c.mainLeft, c.mainTop, c.kind);
    SCOPED_TRACE(testing::Message() << "main at " << c.mainLeft << "," << c.mainTop);
    EXPECT_EQ(p.left, c.expected.left);
    EXPECT_EQ(p.top, c.expected.top);
    EXPECT_EQ(p.isTop, c.expected.isTop);
    EXPECT_EQ(p.hitTop, c.expected.hitTop);
  }
}
