#pragma once

#include <cstdint>

// The state of one mode; the same values serve as an image button's picture state.
enum class TStateMode : int { smON = 0, smOFF = 1 };

// Which mode is active.
enum class TKindMode : int { kmNone = 0, kmGame = 1, kmWeb = 2 };

struct TImageRect {
  std::int32_t Top = 0;
  std::int32_t Left = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};
