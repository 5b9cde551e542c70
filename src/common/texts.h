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

// The status label's text for each kind of mode: none, game, internet.
inline constexpr wchar_t kStatusNone[] = L"최적화 버튼을 눌러주세요.";
inline constexpr wchar_t kStatusGame[] = L"게임 최적화 상태입니다";
inline constexpr wchar_t kStatusWeb[] = L"인터넷 최적화 상태입니다";

// A mode control pressed while a change is running; each control has its own.
inline constexpr wchar_t kGameBusy[] = L"게임 최적화 실행중입니다. 잠시만 기다려주십시요.";
inline constexpr wchar_t kWebBusy[] = L"인터넷 최적화 실행중입니다. 잠시만 기다려주십시요.";
inline constexpr wchar_t kWarningCaption[] = L"Warning";
// A mode switched on whose tweaks could not be written.
inline constexpr wchar_t kNoAdminRights[] =
    L"관리자 권한이 없어 최적화를 적용하지 못했습니다.\r\n라그베인을 관리자 권한으로 실행해 주십시오.";

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

// The self-update step.
inline constexpr wchar_t kUpdateQuestion[] =
    L"라그베인 프로그램이 업데이트 되었습니다.\r\n업데이트 진행을 하시겠습니까?";
inline constexpr wchar_t kUpdateCaption[] = L"라그베인 업데이트";
// The maker's homepage address follows it directly.
inline constexpr wchar_t kNoTempFolder[] =
    L"시스템 임시 폴더를 찾을 수가 없어 자동 업데이트가 중지 되었습니다.\r\n"
    L"라그베인 홈페이지에서 수동으로 프로그램을 설치해 주십시오.\r\n라그베인 홈페이지 : ";
inline constexpr wchar_t kCannotReceiveVersion[] = L"버전 정보를 받을 수가 없습니다.";
inline constexpr wchar_t kCannotLoadVersion[] = L"버전 정보를 불러올 수 없습니다.";
// The full path of the file, then the system's message for the error.
inline constexpr wchar_t kCannotCreateFile[] = L"Cannot create file \"%s\". %s";

// The last-chance box for an error that escapes before the message loop: the error's type, the
// program's file name, the code offset as eight hexadecimal digits, the message and a full stop
// when the message lacks one.
inline constexpr wchar_t kApplicationErrorCaption[] = L"Application Error";
inline constexpr wchar_t kApplicationErrorFormat[] = L"Exception %s in module %s at %p.\r\n%s%s\r\n";

// The failures of an HTTP transfer.
inline constexpr wchar_t kConnectTimedOut[] = L"Connect timed out.";
inline constexpr wchar_t kReadTimedOut[] = L"Read timed out.";
inline constexpr wchar_t kConnectionClosedGracefully[] = L"Connection Closed Gracefully.";
// The Windows Sockets error number and its description.
inline constexpr wchar_t kSocketError[] = L"Socket Error # %d\r\n%s";
// Answers that are not HTTP as we read it, and text bodies beyond what we keep.
inline constexpr wchar_t kAnswerLineTooLong[] = L"The server's answer has a line that is too long.";
inline constexpr wchar_t kAnswerTooManyHeaders[] = L"The server's answer has too many header lines.";
inline constexpr wchar_t kAnswerBadStatusLine[] = L"The server's answer has no valid status line.";
inline constexpr wchar_t kAnswerBadHeaderLine[] = L"The server's answer has an invalid header line.";
inline constexpr wchar_t kAnswerBadContentLength[] = L"The server's answer has an invalid Content-Length.";
inline constexpr wchar_t kAnswerBadChunk[] = L"The server's answer has an invalid chunk.";
inline constexpr wchar_t kAnswerTooManyInterim[] = L"The server sent too many interim answers.";
inline constexpr wchar_t kAnswerTextTooLong[] = L"The server's answer is too long.";
// A download whose length is not the one the signed manifest gives.
inline constexpr wchar_t kAnswerWrongLength[] = L"The server's answer does not have the expected length.";

struct SocketErrorText {
  int code;
  const wchar_t* text;
};
// Descriptions of the Windows Sockets errors a transfer meets; others come from the system.
inline constexpr SocketErrorText kSocketErrorTexts[] = {
    {10004, L"Interrupted system call."},
    {10013, L"Access denied."},
    {10014, L"Buffer fault."},
    {10022, L"Invalid argument."},
    {10024, L"Too many open files."},
    {10035, L"Operation would block."},
    {10036, L"Operation now in progress."},
    {10037, L"Operation already in progress."},
    {10038, L"Socket operation on non-socket."},
    {10047, L"Address family not supported by protocol family."},
    {10048, L"Address already in use."},
    {10049, L"Cannot assign requested address."},
    {10050, L"Network is down."},
    {10051, L"Network is unreachable."},
    {10052, L"Net dropped connection or reset."},
    {10053, L"Software caused connection abort."},
    {10054, L"Connection reset by peer."},
    {10055, L"No buffer space available."},
    {10056, L"Socket is already connected."},
    {10057, L"Socket is not connected."},
    {10058, L"Cannot send or receive after socket is closed."},
    {10060, L"Connection timed out."},
    {10061, L"Connection refused."},
    {10064, L"Host is down."},
    {10065, L"No route to host."},
    {10091, L"Network subsystem is unavailable."},
    {10093, L"Windows Sockets is not initialised."},
    {11001, L"Host not found."},
    {11002, L"Non-authoritative host not found; try again."},
    {11003, L"This is a non-recoverable error."},
    {11004, L"Valid name, no data record of requested type."},
};

}  // namespace texts
