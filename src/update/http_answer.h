#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class AnswerStatus { kNeedMore, kDone, kError };

enum class AnswerError {
  kNone,
  kClosedBeforeAnswer,  // the connection closed before any byte of an answer
  kClosedEarly,         // it closed inside an answer (head, chunk or announced length)
  kLineTooLong,
  kTooManyHeaders,
  kBadStatusLine,
  kBadHeaderLine,
  kBadContentLength,
  kBadChunk,
  kTooManyInterimAnswers,
};

// The failure text of each error, as a transfer reports it.
const wchar_t* AnswerErrorText(AnswerError error) noexcept;

struct AnswerHeader {
  std::string name;
  std::string value;
};

// Reads one HTTP/1.1 answer from the bytes of a connection as they arrive, in pieces of any size:
// interim 100 answers are skipped; the body is delimited by chunked coding, Content-Length or the
// end of the connection; 1xx, 204 and 304 answers have none. It does no I/O and never reads past
// what it is given. Lines, header counts and interim answers are bounded, and body bytes are
// handed back as views into the input, so no answer makes it hold more than a bounded head.
class AnswerParser {
public:
  static constexpr std::size_t kMaxLineLength = 8192;
  static constexpr std::size_t kMaxHeaderLines = 100;
  static constexpr int kMaxInterimAnswers = 16;
  // The largest chunk size and Content-Length read; a larger one is an error.
  static constexpr std::uint64_t kMaxChunkSize = std::uint64_t{1} << 60;
  static constexpr std::uint64_t kMaxContentLength = std::uint64_t{1} << 60;

  struct Step {
    AnswerStatus status;
    // How much of the input this step used; the rest is for the next call.
    std::size_t consumed;
    // Body bytes, a view into the input. Empty when this step found none.
    std::string_view body;
  };

  // Takes what it can of `input`. A step ends at the end of the input, after a piece of the body,
  // or when the answer is complete or wrong, so the caller feeds the rest again while the status
  // is kNeedMore. A step given bytes always uses at least one of them unless the answer has ended.
  Step Feed(std::string_view input);
  // The connection has closed: ends a body that runs to the close, and is an error anywhere else.
  AnswerStatus Finish();

  AnswerStatus Status() const noexcept;
  AnswerError Error() const noexcept { return error_; }
  // The final answer's status code and its status line as received (without the line break).
  int StatusCode() const noexcept { return statusCode_; }
  const std::string& StatusLine() const noexcept { return statusLine_; }
  bool Succeeded() const noexcept { return statusCode_ >= 200 && statusCode_ <= 299; }
  // Whether the final answer's status line and headers have all arrived.
  bool HeadComplete() const noexcept { return headComplete_; }
  const std::vector<AnswerHeader>& Headers() const noexcept { return headers_; }
  // The first header of that name, compared ignoring ASCII case.
  std::optional<std::string_view> FindHeader(std::string_view name) const;

private:
  enum class State {
    kStatusLine,
    kHeaders,
    kBody,
    kBodyUntilClose,
    kChunkSize,
    kChunkData,
    kChunkDataEnd,
    kTrailers,
    kDone,
    kError,
  };

  bool OnLine(std::string_view line);
  bool OnStatusLine(std::string_view line);
  bool OnHeaderLine(std::string_view line);
  bool OnChunkSizeLine(std::string_view line);
  bool EndOfHead();
  bool Fail(AnswerError error);

  State state_ = State::kStatusLine;
  AnswerError error_ = AnswerError::kNone;
  bool sawBytes_ = false;
  bool headComplete_ = false;
  std::string line_;
  std::size_t headerLines_ = 0;
  int interimAnswers_ = 0;
  std::uint64_t remaining_ = 0;
  int statusCode_ = 0;
  std::string statusLine_;
  std::vector<AnswerHeader> headers_;
};

// ASCII letters compared without case, as HTTP compares names and tokens.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept;
