#pragma once

#include <windows.h>

#include <string>

// The system's message for an error code, as the user sees it (TrimSystemMessage).
std::wstring SystemMessage(DWORD error);
