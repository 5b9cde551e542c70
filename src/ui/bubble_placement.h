#pragma once

#include "common/types.h"

#include <cstdint>

// Where the confirmation bubble stands for a main window at (mainLeft, mainTop): directly above
// it when there is room, else just below it, shifted left so that its tail points at the button
// of the mode asked for.
struct TBubblePlacement {
  std::int32_t left;
  std::int32_t top;
  bool isTop;
  // The row of the Yes and No hit areas inside the bubble.
  std::int32_t hitTop;
};

inline constexpr std::int32_t kBubbleWidth = 321;
inline constexpr std::int32_t kBubbleHeight = 89;
inline constexpr std::int32_t kBubbleYesLeft = 98;
inline constexpr std::int32_t kBubbleNoLeft = 164;
inline constexpr std::int32_t kBubbleHitWidth = 55;
inline constexpr std::int32_t kBubbleHitHeight = 18;

constexpr TBubblePlacement PlaceBubble(std::int32_t mainLeft, std::int32_t mainTop, TKindMode kind) noexcept {
  const std::int32_t left = mainLeft + (kind == TKindMode::kmGame ? -10 : -110);
  if (mainTop - kBubbleHeight <= 0) return {left, mainTop + kBubbleHeight - 45, false, 58};
  return {left, mainTop - kBubbleHeight, true, 48};
}
