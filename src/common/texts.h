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

// The status label's caption before the mode shown is restored.
inline constexpr wchar_t kAnalysingRegistry[] = L"레지스트리 값 분석 중...";

// The MSMQ notice: its caption and its two pictures.
inline constexpr wchar_t kMsmqNoticeCaption[] = L"라그베인 최적화실행중";
inline constexpr wchar_t kMsmqInstallPicture[] = L"POPUP_MSMQ_INSTALL";
inline constexpr wchar_t kMsmqUninstallPicture[] = L"POPUP_MSMQ_UNINSTALL";

// The status label's text for each kind of mode: none, game, internet.
inline constexpr wchar_t kStatusNone[] = L"최적화 버튼을 눌러주세요.";
inline constexpr wchar_t kStatusGame[] = L"게임 최적화 상태입니다";
inline constexpr wchar_t kStatusWeb[] = L"인터넷 최적화 상태입니다";

// A mode control pressed while a change is running; each control has its own.
inline constexpr wchar_t kGameBusy[] = L"게임 최적화 실행중입니다. 잠시만 기다려주십시요.";
inline constexpr wchar_t kWebBusy[] = L"인터넷 최적화 실행중입니다. 잠시만 기다려주십시요.";
inline constexpr wchar_t kWarningCaption[] = L"Warning";

// The progress animation's opening texts and step texts.
inline constexpr wchar_t kGameOpening[] = L"게임 레지스트리값 분석 중";
inline constexpr wchar_t kWebOpening[] = L"인터넷 레지스트리 값 분석 중";
inline constexpr wchar_t kGameStep2[] = L"네트워크 재설정 중";
inline constexpr wchar_t kGameStep6[] = L"네트워크 끊는 중";
inline constexpr wchar_t kGameStep8[] = L"Nagle TCP/IP 알고리즘 변경 중";
inline constexpr wchar_t kGameStep11[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSMQ\\Parameters\\TCPNoDelay";
inline constexpr wchar_t kGameStep14[] = L"TCP ACK 패킷 수 변경 중";
inline constexpr wchar_t kWebStep2[] = L"페이지 로딩 속도 변경 중";
inline constexpr wchar_t kWebStep6[] = L"레지스트리 변경 중 - Upload URL";
inline constexpr wchar_t kWebStep9[] = L"레지스트리 변경 중 - Upload provider";
inline constexpr wchar_t kWebStep12[] = L"브라우저 속도 변경 중";

// The wait for the network reset worker ran out.
inline constexpr wchar_t kWaitTimeout[] = L"시간 초과";

}  // namespace texts
