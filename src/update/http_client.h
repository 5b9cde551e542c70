#pragma once

#include "common/error.h"
#include "common/texts.h"
#include "update/http_answer.h"
#include "update/http_request.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Bounds of one transfer, in milliseconds: the wait for the connection, each wait for data, and
// the whole transfer from its start, whatever the server does. A transfer cut off by its whole
// bound fails as a wait for data does ("Read timed out."). Name resolution has no bound of its
// own, but its time counts towards the whole.
struct HttpTimeouts {
  DWORD connectMs;
  DWORD readMs;
  DWORD totalMs;
};
inline constexpr HttpTimeouts kStartReportTimeouts{100, 3000, 10 * 1000};
// The manifest and the installer: bounded too, so that a silent or trickling server never holds
// the program before its window opens.
inline constexpr HttpTimeouts kManifestTimeouts{5000, 15000, 30 * 1000};
inline constexpr HttpTimeouts kDownloadTimeouts{5000, 15000, 10 * 60 * 1000};

// A text body (the manifest, the start report's page) beyond this is refused rather than held.
inline constexpr std::size_t kMaxTextBody = 64 * 1024;
// A failed answer's body is read and dropped up to this; beyond it the transfer fails at once.
inline constexpr std::size_t kMaxDiscardedBody = 64 * 1024;

// An answer with a status other than success; its message is the status line as received.
class HttpStatusError : public Exception {
public:
  HttpStatusError(int statusCode, std::wstring statusLine)
      : Exception(std::move(statusLine), L"EHttpStatusError"), statusCode_(statusCode) {}
  int StatusCode() const noexcept { return statusCode_; }

private:
  int statusCode_;
};

// A download whose length is not the expected one: announced otherwise, or more or less arriving.
class BodyLengthError : public Exception {
public:
  BodyLengthError() : Exception(texts::kAnswerWrongLength, L"EHttpAnswerError") {}
};

using BodySink = std::function<void(std::string_view)>;
// Sees the head of a successful answer before any of its body reaches the sink; may throw.
using HeadCheck = std::function<void(const AnswerParser&)>;

// One GET over a connection of its own (IPv4, no proxy), closed when the transfer ends. The body
// of a successful answer goes to `sink`; a failed answer's body is read and dropped. Every failure
// is thrown with its text: "Connect timed out.", "Read timed out.", "Socket Error # %d\r\n%s",
// "Connection Closed Gracefully.", an invalid answer, or an HttpStatusError. Returns the answer's
// Content-Type, if it had one.
std::optional<std::string> HttpGet(const ServerAddress& server, std::string_view pathAndQuery,
                                   HttpTimeouts timeouts, const BodySink& sink, const HeadCheck& onHead = {});

// The body as text, by the character set the answer names; at most kMaxTextBody bytes. The body's
// bytes as received go to `rawBody` too when one is given.
std::wstring HttpGetText(const ServerAddress& server, std::string_view pathAndQuery, HttpTimeouts timeouts,
                         std::string* rawBody = nullptr);

// The body's bytes, in the order received, written to an open file. With an expected length, an
// answer that announces another is refused as soon as its head arrives, no more than that length
// is ever written, and a body that ends shorter fails too (all as BodyLengthError).
void HttpGetFile(const ServerAddress& server, std::string_view pathAndQuery, HANDLE file, HttpTimeouts timeouts,
                 std::optional<std::uint64_t> expectedLength = std::nullopt);
