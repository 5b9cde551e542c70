#pragma once

// The cell arithmetic of the image progress bar, kept apart from its windows so it is tested
// without them.

#include "common/types.h"

#include <cstdint>

struct PositionChange {
  std::int32_t position = 0;  // the value stored
  std::int32_t flipCell = -1;  // the one cell whose state flips, or -1 for none
  bool operator==(const PositionChange&) const = default;
};

// Assigning `value` to a bar of `cellCount` cells: values at or above the count store the count,
// and there is no lower bound; a stored position n > 0 flips cell n - 1 only.
constexpr PositionChange AssignPosition(std::int32_t value, std::int32_t cellCount) noexcept {
  PositionChange change;
  change.position = value >= cellCount ? cellCount : value;
  if (change.position > 0) change.flipCell = change.position - 1;
  return change;
}

// The left edge of cell `index`: the first cell at the start rectangle's left, each next one a
// cell width and a gap further.
constexpr std::int32_t CellLeft(const TImageRect& start, std::int32_t space, std::int32_t index) noexcept {
  return start.Left + index * (start.Width + space);
}
