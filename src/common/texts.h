#pragma once

// Every text the program shows or stores, exactly as it is to be shown or stored.

namespace texts {

inline constexpr wchar_t kMainCaption[] = L"LAGVANE";
inline constexpr wchar_t kMutexName[] = L"NoDuplicate";
inline constexpr wchar_t kUninstallSwitch[] = L"--UNINSTALL";

// The registry accessor's errors; '%s' stands for the value name.
inline constexpr wchar_t kRegGetDataFailed[] = L"Failed to get data for '%s'";
inline constexpr wchar_t kRegInvalidDataType[] = L"Invalid data type for '%s'";
inline constexpr wchar_t kRegSetDataFailed[] = L"Failed to set data for '%s'";

// The status label's caption before the mode shown is restored.
inline constexpr wchar_t kAnalysingRegistry[] = L"레지스트리 값 분석 중...";

}  // namespace texts
