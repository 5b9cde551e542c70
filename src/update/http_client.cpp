#include "update/http_client.h"

#include "common/system_error.h"
#include "common/texts.h"
#include "common/unique_handle.h"
#include "update/charset.h"
#include "update/http_answer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdint>
#include <memory>

namespace {

// Winsock for the length of one transfer; the system counts the starts.
class WinsockSession {
public:
  WinsockSession() {
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) ThrowSocketError(error);
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  ~WinsockSession() { WSACleanup(); }

  [[noreturn]] static void ThrowSocketError(int code) {
    std::wstring description;
    for (const texts::SocketErrorText& known : texts::kSocketErrorTexts) {
      if (known.code == code) description = known.text;
    }
    if (description.empty()) description = SystemMessage(static_cast<DWORD>(code));
    throw Exception(FormatFields(texts::kSocketError, {DecimalText(code), description}), L"ESocketError");
  }
};

// Waits until the socket can be read (or written, or has failed) for the whole time given and
// never less: select may come back a little early, so it is asked again for what remains.
bool WaitUntilReady(SOCKET socket, bool forReading, DWORD timeoutMs, bool* failed = nullptr) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::max<std::int64_t>(
        0, std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()).count());
    fd_set ready;
    fd_set failures;
    FD_ZERO(&ready);
    FD_ZERO(&failures);
    FD_SET(socket, &ready);
    FD_SET(socket, &failures);
    timeval wait{static_cast<long>(left / 1000000), static_cast<long>(left % 1000000)};
    const int count = select(0, forReading ? &ready : nullptr, forReading ? nullptr : &ready, &failures, &wait);
    if (count == SOCKET_ERROR) WinsockSession::ThrowSocketError(WSAGetLastError());
    if (count > 0) {
      if (failed) *failed = FD_ISSET(socket, &failures);
      return true;
    }
    if (left == 0) return false;
  }
}

void SetBlocking(SOCKET socket, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  if (ioctlsocket(socket, FIONBIO, &nonBlocking) == SOCKET_ERROR) WinsockSession::ThrowSocketError(WSAGetLastError());
}

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowReadTimedOut() { throw Exception(texts::kReadTimedOut, L"EReadTimeout"); }

// What is left of the whole transfer's bound, and whether it is shorter than one wait's own.
DWORD WaitWithin(DWORD waitMs, Clock::time_point deadline, bool& cutByDeadline) {
  const auto left = std::max<std::int64_t>(
      0, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count());
  cutByDeadline = left < static_cast<std::int64_t>(waitMs);
  return cutByDeadline ? static_cast<DWORD>(left) : waitMs;
}

UniqueSocket Connect(const ServerAddress& server, DWORD timeoutMs, Clock::time_point deadline) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  // Name resolution has no bound of its own; the connect time-out starts after it.
  if (const int error = getaddrinfo(server.host.c_str(), std::to_string(server.port).c_str(), &hints, &found)) {
    WinsockSession::ThrowSocketError(error);
  }
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);

  UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket) WinsockSession::ThrowSocketError(WSAGetLastError());
  // Non-blocking only while connecting, so that the wait for the connection has its bound.
  SetBlocking(socket.get(), false);
  if (connect(socket.get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) == SOCKET_ERROR) {
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) WinsockSession::ThrowSocketError(error);
    bool failed = false;
    bool cut = false;
    if (!WaitUntilReady(socket.get(), false, WaitWithin(timeoutMs, deadline, cut), &failed)) {
      if (cut) ThrowReadTimedOut();
      throw Exception(texts::kConnectTimedOut, L"EConnectTimeout");
    }
    int socketError = 0;
    int length = sizeof(socketError);
    getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &length);
    if (socketError == 0 && failed) socketError = WSAECONNREFUSED;
    if (socketError != 0) WinsockSession::ThrowSocketError(socketError);
  }
  SetBlocking(socket.get(), true);
  return socket;
}

void SendAll(SOCKET socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const int sent = send(socket, bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent == SOCKET_ERROR) WinsockSession::ThrowSocketError(WSAGetLastError());
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

// Waits for the next data for at most the read time-out and what is left of the whole transfer,
// then takes what has come; 0 at the close.
int Receive(SOCKET socket, char* buffer, int size, DWORD timeoutMs, Clock::time_point deadline) {
  bool cut = false;
  const DWORD wait = WaitWithin(timeoutMs, deadline, cut);
  // A server that sends without pause is cut off by the whole bound too.
  if (cut && wait == 0) ThrowReadTimedOut();
  if (!WaitUntilReady(socket, true, wait)) ThrowReadTimedOut();
  const int received = recv(socket, buffer, size, 0);
  if (received == SOCKET_ERROR) WinsockSession::ThrowSocketError(WSAGetLastError());
  return received;
}

// Marks a failed answer whose body went beyond what is read of it; the status is the failure.
struct DiscardLimitReached {};

void ReadAnswer(SOCKET socket, const HttpTimeouts& timeouts, Clock::time_point deadline, AnswerParser& parser,
                const BodySink& sink, const HeadCheck& onHead) {
  char buffer[16 * 1024];
  bool headSeen = false;
  std::size_t discarded = 0;
  while (parser.Status() == AnswerStatus::kNeedMore) {
    const int received = Receive(socket, buffer, sizeof(buffer), timeouts.readMs, deadline);
    if (received == 0) {
      parser.Finish();
      break;
    }
    std::string_view input(buffer, static_cast<std::size_t>(received));
    while (!input.empty()) {
      const AnswerParser::Step step = parser.Feed(input);
      if (!headSeen && parser.HeadComplete()) {
        headSeen = true;
        if (parser.Succeeded() && onHead) onHead(parser);
      }
      if (!step.body.empty()) {
        if (parser.Succeeded()) {
          sink(step.body);
        } else {
          // A failed answer's body is read and dropped, but only so far.
          discarded += step.body.size();
          if (discarded > kMaxDiscardedBody) throw DiscardLimitReached{};
        }
      }
      input.remove_prefix(step.consumed);
      if (step.status != AnswerStatus::kNeedMore) break;
    }
  }
  if (parser.Status() == AnswerStatus::kError) {
    throw Exception(AnswerErrorText(parser.Error()),
                    parser.Error() == AnswerError::kClosedBeforeAnswer || parser.Error() == AnswerError::kClosedEarly
                        ? L"EConnClosedGracefully"
                        : L"EHttpAnswerError");
  }
}

std::wstring Widen(std::string_view ascii) {
  // A status line may hold any byte; each becomes the character with its code.
  return DecodeText(ascii, "iso-8859-1", nullptr);
}

// Text in one of the platform's code pages; empty when the platform cannot read it.
std::optional<std::wstring> DecodeCodePage(std::uint32_t codePage, std::string_view bytes) {
  if (!IsValidCodePage(codePage)) return std::nullopt;
  if (bytes.empty()) return std::wstring();
  if (bytes.size() > INT_MAX) return std::nullopt;
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), length);
  return text;
}

}  // namespace

std::optional<std::string> HttpGet(const ServerAddress& server, std::string_view pathAndQuery,
                                   HttpTimeouts timeouts, const BodySink& sink, const HeadCheck& onHead) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeouts.totalMs);
  WinsockSession winsock;
  AnswerParser parser;
  try {
    const UniqueSocket socket = Connect(server, timeouts.connectMs, deadline);
    SendAll(socket.get(), BuildRequest(server, pathAndQuery));
    ReadAnswer(socket.get(), timeouts, deadline, parser, sink, onHead);
  } catch (const DiscardLimitReached&) {
  } catch (const Exception&) {
    // Once a failed status has arrived, it is the failure, whatever then became of its body.
    if (!parser.HeadComplete() || parser.Succeeded()) throw;
  }
  if (!parser.Succeeded()) throw HttpStatusError(parser.StatusCode(), Widen(parser.StatusLine()));
  const std::optional<std::string_view> contentType = parser.FindHeader("Content-Type");
  return contentType ? std::optional<std::string>(*contentType) : std::nullopt;
}

std::wstring HttpGetText(const ServerAddress& server, std::string_view pathAndQuery, HttpTimeouts timeouts,
                         std::string* rawBody) {
  std::string body;
  const std::optional<std::string> contentType = HttpGet(server, pathAndQuery, timeouts, [&](std::string_view piece) {
    if (body.size() + piece.size() > kMaxTextBody) throw Exception(texts::kAnswerTextTooLong, L"EHttpAnswerError");
    body.append(piece);
  });
  std::wstring text = DecodeText(body, TextCharset(contentType, body), DecodeCodePage);
  if (rawBody) *rawBody = std::move(body);
  return text;
}

void HttpGetFile(const ServerAddress& server, std::string_view pathAndQuery, HANDLE file, HttpTimeouts timeouts,
                 std::optional<std::uint64_t> expectedLength) {
  std::uint64_t written = 0;
  const HeadCheck checkLength = [&](const AnswerParser& answer) {
    const std::optional<std::string_view> announced = answer.FindHeader("Content-Length");
    if (!announced) return;
    std::uint64_t length = 0;
    const auto [end, error] = std::from_chars(announced->data(), announced->data() + announced->size(), length);
    if (error != std::errc() || end != announced->data() + announced->size() || length != *expectedLength) {
      throw BodyLengthError();
    }
  };
  HttpGet(
      server, pathAndQuery, timeouts,
      [&](std::string_view piece) {
        if (expectedLength && piece.size() > *expectedLength - written) throw BodyLengthError();
        DWORD done = 0;
        if (!WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &done, nullptr) || done != piece.size()) {
          throw Exception(SystemMessage(GetLastError()), L"EWriteError");
        }
        written += done;
      },
      expectedLength ? checkLength : HeadCheck());
  if (expectedLength && written != *expectedLength) throw BodyLengthError();
}
