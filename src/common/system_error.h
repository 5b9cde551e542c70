#pragma once

#include <windows.h>

#include <string>

// The system's message for an error code, without its closing line break.
std::wstring SystemMessage(DWORD error);
