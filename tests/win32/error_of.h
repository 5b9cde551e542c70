#pragma once

#include "common/error.h"

#include <string>

// The message of the error that an action throws, or "(no error)" when it throws none.
template <typename Action>
std::wstring ErrorOf(Action&& action) {
  try {
    action();
  } catch (const Exception& error) {
    return error.Message();
  }
  return L"(no error)";
}
