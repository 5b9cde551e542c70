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

// A picture asked for by a name that the resource store does not hold; '%s' is the name.
inline constexpr wchar_t kResourceNotFound[] = L"Resource %s not found";

// The hints of the main window's controls.
inline constexpr wchar_t kHintQuit[] = L"라그베인 종료";
inline constexpr wchar_t kHintMinimise[] = L"최소화";
inline constexpr wchar_t kHintGame[] = L"게임 최적화";
inline constexpr wchar_t kHintWeb[] = L"인터넷 최적화";
inline constexpr wchar_t kHintHomepage[] = L"라그베인 홈페이지";
inline constexpr wchar_t kHintSetup[] = L"환경설정";
inline constexpr wchar_t kHintTovalin[] = L"토발린 홈페이지";

// The actions' and menu items' captions; the hints above serve as the actions' hints.
inline constexpr wchar_t kActOpen[] = L"라그베인 열기";
inline constexpr wchar_t kActGamePing[] = L"게임 최적화 실행";
inline constexpr wchar_t kActWebPing[] = L"인터넷 최적화 실행";
inline constexpr wchar_t kActHomepage[] = L"라그베인 홈페이지";
inline constexpr wchar_t kActClose[] = L"라그베인 종료";
inline constexpr wchar_t kActMin[] = L"최소화";
inline constexpr wchar_t kActWindowStart[] = L"시작 프로그램 등록";
inline constexpr wchar_t kActStayOnTop[] = L"라그베인을 항상 위로";
inline constexpr wchar_t kActFormHide[] = L"화면 감추기";
inline constexpr wchar_t kActTovalin[] = L"토발린 홈페이지";

// The status label's caption before the mode shown is restored.
inline constexpr wchar_t kAnalysingRegistry[] = L"레지스트리 값 분석 중...";

// The MSMQ notice: its caption and its two pictures.
inline constexpr wchar_t kMsmqNoticeCaption[] = L"라그베인 최적화실행중";
inline constexpr wchar_t kMsmqInstallPicture[] = L"POPUP_MSMQ_INSTALL";
inline constexpr wchar_t kMsmqUninstallPicture[] = L"POPUP_MSMQ_UNINSTALL";

}  // namespace texts
