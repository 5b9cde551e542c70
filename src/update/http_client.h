#pragma once

#include "common/error.h"
#include "update/http_request.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Bounds of one transfer, in milliseconds: the wait for the connection and each wait for data.
struct HttpTimeouts {
  DWORD connectMs;
  DWORD readMs;
};
inline constexpr HttpTimeouts kStartReportTimeouts{100, 3000};
// The manifest and the installer: bounded too, so that a silent server never holds the program
// before its window opens.
inline constexpr HttpTimeouts kUpdateTimeouts{5000, 15000};

// A text body beyond this is refused rather than held.
inline constexpr std::size_t kMaxTextBody = 16 * 1024 * 1024;

// An answer with a status other than success; its message is the status line as received.
class HttpStatusError : public Exception {
public:
  HttpStatusError(int statusCode, std::wstring statusLine)
      : Exception(std::move(statusLine), L"EHttpStatusError"), statusCode_(statusCode) {}
  int StatusCode() const noexcept { return statusCode_; }

private:
  int statusCode_;
};

using BodySink = std::function<void(std::string_view)>;

// One GET over a connection of its own (IPv4, no proxy), closed when the transfer ends. The body
// of a successful answer goes to `sink`; a failed answer's body is read and dropped. Every failure
// is thrown with its text: "Connect timed out.", "Read timed out.", "Socket Error # %d\r\n%s",
// "Connection Closed Gracefully.", an invalid answer, or an HttpStatusError. Returns the answer's
// Content-Type, if it had one.
std::optional<std::string> HttpGet(const ServerAddress& server, std::string_view pathAndQuery,
                                   HttpTimeouts timeouts, const BodySink& sink);

// The body as text, by the character set the answer names.
std::wstring HttpGetText(const ServerAddress& server, std::string_view pathAndQuery, HttpTimeouts timeouts);

// The body's bytes, in the order received, written to an open file.
void HttpGetFile(const ServerAddress& server, std::string_view pathAndQuery, HANDLE file, HttpTimeouts timeouts);
