#include "update/http_answer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Outcome {
  AnswerStatus status = AnswerStatus::kNeedMore;
  AnswerError error = AnswerError::kNone;
  int code = 0;
  std::string statusLine;
  std::string body;

  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "{status " << static_cast<int>(o.status) << ", error " << static_cast<int>(o.error) << ", code "
             << o.code << ", line \"" << o.statusLine << "\", body \"" << o.body << "\"}";
}

// Feeds the answer in pieces of `pieceSize` bytes, each in a buffer of its own so that the
// sanitizer sees any read past a piece, then closes the connection when asked to.
Outcome Parse(std::string_view answer, std::size_t pieceSize, bool close, AnswerParser& parser) {
  Outcome outcome;
  for (std::size_t pos = 0; pos < answer.size() && parser.Status() == AnswerStatus::kNeedMore; pos += pieceSize) {
    const std::vector<char> buffer(answer.begin() + static_cast<std::ptrdiff_t>(pos),
                                   answer.begin() + static_cast<std::ptrdiff_t>(std::min(answer.size(), pos + pieceSize)));
    std::string_view piece(buffer.data(), buffer.size());
    while (!piece.empty()) {
      const AnswerParser::Step step = parser.Feed(piece);
      EXPECT_LE(step.consumed, piece.size());
      if (step.status == AnswerStatus::kNeedMore) EXPECT_GT(step.consumed, 0u) << "no progress";
      outcome.body += step.body;
      piece.remove_prefix(step.consumed);
      if (step.status != AnswerStatus::kNeedMore || step.consumed == 0) break;
    }
  }
  if (close) parser.Finish();
  outcome.status = parser.Status();
  outcome.error = parser.Error();
  outcome.code = parser.StatusCode();
  outcome.statusLine = parser.StatusLine();
  return outcome;
}

Outcome Parse(std::string_view answer, std::size_t pieceSize, bool close) {
  AnswerParser parser;
  return Parse(answer, pieceSize, close, parser);
}

constexpr auto kDone = AnswerStatus::kDone;
constexpr auto kError = AnswerStatus::kError;
constexpr auto kNeedMore = AnswerStatus::kNeedMore;

struct Case {
  const char* what;
  std::string answer;
  bool close;  // the server closes the connection after the bytes
  Outcome expected;
};

std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"length-delimited body", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false,
       {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "hello"}},
      {"bytes after the announced length are not body",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokHTTP/1.1 500 No", false,
       {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "ok"}},
      {"chunked body with an extension and trailers",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;name=value\r\n world\r\n"
       "A \r\n0123456789\r\n0\r\nExpires: never\r\n\r\n",
       false, {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "hello world0123456789"}},
      {"chunked named among other codings wins over Content-Length",
       "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
       false, {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "abc"}},
      {"no length and no chunking: the body runs to the close", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nline 1\nline 2",
       true, {kDone, AnswerError::kNone, 200, "HTTP/1.0 200 OK", "line 1\nline 2"}},
      {"a body that runs to the close is not complete while the connection stands",
       "HTTP/1.1 200 OK\r\n\r\nabc", false, {kNeedMore, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "abc"}},
      {"another transfer coding leaves the body to the close",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nContent-Length: 1\r\n\r\nxyz", true,
       {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "xyz"}},
      {"interim 100 answers are skipped",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
       false, {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "ok"}},
      {"204 has no body", "HTTP/1.1 204 No Content\r\nContent-Length: 10\r\n\r\n", false,
       {kDone, AnswerError::kNone, 204, "HTTP/1.1 204 No Content", ""}},
      {"Content-Length 0 has no body", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false,
       {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", ""}},
      {"304 has no body", "HTTP/1.1 304 Not Modified\r\n\r\n", false,
       {kDone, AnswerError::kNone, 304, "HTTP/1.1 304 Not Modified", ""}},
      {"another 1xx ends the answer without a body", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\nrest",
       false, {kDone, AnswerError::kNone, 101, "HTTP/1.1 101 Switching Protocols", ""}},
      {"a failed status keeps its line as received and its body is still read",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!", false,
       {kDone, AnswerError::kNone, 404, "HTTP/1.1 404 Not Found", "not here!"}},
      {"a redirect is an ordinary answer to the parser",
       "HTTP/1.1 302 Found\r\nLocation: http://elsewhere/\r\nContent-Length: 0\r\n\r\n", false,
       {kDone, AnswerError::kNone, 302, "HTTP/1.1 302 Found", ""}},
      {"bare LF line ends and no reason phrase", "HTTP/1.1 200\nContent-Length: 1\n\nx", false,
       {kDone, AnswerError::kNone, 200, "HTTP/1.1 200", "x"}},
      {"the status line keeps its spacing", "HTTP/1.1  500  Internal  Error \r\n\r\n", true,
       {kDone, AnswerError::kNone, 500, "HTTP/1.1  500  Internal  Error ", ""}},
      {"equal repeated lengths are one length", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\ncontent-length:1\r\n\r\nz",
       false, {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "z"}},

      {"closed before any byte", "", true, {kError, AnswerError::kClosedBeforeAnswer, 0, "", ""}},
      {"closed inside the status line", "HTTP/1.1 20", true, {kError, AnswerError::kClosedEarly, 0, "", ""}},
      {"closed inside the head", "HTTP/1.1 200 OK\r\nContent-Le", true,
       {kError, AnswerError::kClosedEarly, 200, "HTTP/1.1 200 OK", ""}},
      {"closed after an interim answer", "HTTP/1.1 100 Continue\r\n\r\n", true,
       {kError, AnswerError::kClosedEarly, 100, "HTTP/1.1 100 Continue", ""}},
      {"closed before the announced length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123", true,
       {kError, AnswerError::kClosedEarly, 200, "HTTP/1.1 200 OK", "0123"}},
      {"closed inside a chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8\r\nabc", true,
       {kError, AnswerError::kClosedEarly, 200, "HTTP/1.1 200 OK", "abc"}},
      {"closed before the last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", true,
       {kError, AnswerError::kClosedEarly, 200, "HTTP/1.1 200 OK", "abc"}},

      {"not HTTP", "SSH-2.0-OpenSSH\r\n", false, {kError, AnswerError::kBadStatusLine, 0, "", ""}},
      {"letters in the status code", "HTTP/1.1 2OO OK\r\n", false, {kError, AnswerError::kBadStatusLine, 0, "", ""}},
      {"a four-digit status code", "HTTP/1.1 2000 OK\r\n", false, {kError, AnswerError::kBadStatusLine, 0, "", ""}},
      {"no version number", "HTTP/ 200 OK\r\n", false, {kError, AnswerError::kBadStatusLine, 0, "", ""}},
      {"an empty line for a status line", "\r\nHTTP/1.1 200 OK\r\n", false,
       {kError, AnswerError::kBadStatusLine, 0, "", ""}},
      {"a header without a colon", "HTTP/1.1 200 OK\r\nContent-Length 5\r\n\r\n", false,
       {kError, AnswerError::kBadHeaderLine, 200, "HTTP/1.1 200 OK", ""}},
      {"a header with a space in its name", "HTTP/1.1 200 OK\r\nContent Length: 5\r\n\r\n", false,
       {kError, AnswerError::kBadHeaderLine, 200, "HTTP/1.1 200 OK", ""}},
      {"a folded line before any header", "HTTP/1.1 200 OK\r\n folded\r\n\r\n", false,
       {kError, AnswerError::kBadHeaderLine, 200, "HTTP/1.1 200 OK", ""}},
      {"a length that is not a number", "HTTP/1.1 200 OK\r\nContent-Length: 5x\r\n\r\nhello", false,
       {kError, AnswerError::kBadContentLength, 200, "HTTP/1.1 200 OK", ""}},
      {"a negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false,
       {kError, AnswerError::kBadContentLength, 200, "HTTP/1.1 200 OK", ""}},
      {"an enormous length", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", false,
       {kError, AnswerError::kBadContentLength, 200, "HTTP/1.1 200 OK", ""}},
      {"two lengths that disagree", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", false,
       {kError, AnswerError::kBadContentLength, 200, "HTTP/1.1 200 OK", ""}},
      {"a chunk size that is not hexadecimal", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false,
       {kError, AnswerError::kBadChunk, 200, "HTTP/1.1 200 OK", ""}},
      {"an empty chunk size line", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\n", false,
       {kError, AnswerError::kBadChunk, 200, "HTTP/1.1 200 OK", ""}},
      {"a chunk size past every bound",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\n", false,
       {kError, AnswerError::kBadChunk, 200, "HTTP/1.1 200 OK", ""}},
      // Sizes one hexadecimal digit past the bound, whose value would come round to 0 and to 5 in
      // 64 bits: an error, never a last chunk or a short one.
      {"a chunk size that would wrap to a last chunk",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000000\r\n\r\n", true,
       {kError, AnswerError::kBadChunk, 200, "HTTP/1.1 200 OK", ""}},
      {"a chunk size that would wrap to a short chunk",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000005\r\nhello\r\n0\r\n\r\n", false,
       {kError, AnswerError::kBadChunk, 200, "HTTP/1.1 200 OK", ""}},
      {"a chunk size just past the bound",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000000000000001\r\nabc", false,
       {kError, AnswerError::kBadChunk, 200, "HTTP/1.1 200 OK", ""}},
      {"a chunk size at the bound is read",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000000000000000\r\nabc", false,
       {kNeedMore, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "abc"}},
      {"leading zeros make no chunk size too long",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n000000000000000000000005\r\nhello\r\n0\r\n\r\n",
       false, {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "hello"}},
      {"a length that would wrap to a short one",
       "HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551621\r\n\r\nhello", false,
       {kError, AnswerError::kBadContentLength, 200, "HTTP/1.1 200 OK", ""}},
      {"a length just past the bound", "HTTP/1.1 200 OK\r\nContent-Length: 1152921504606846977\r\n\r\n", false,
       {kError, AnswerError::kBadContentLength, 200, "HTTP/1.1 200 OK", ""}},
      {"a length at the bound is read", "HTTP/1.1 200 OK\r\nContent-Length: 1152921504606846976\r\n\r\nab", false,
       {kNeedMore, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "ab"}},
      {"leading zeros make no length too long",
       "HTTP/1.1 200 OK\r\nContent-Length: 0000000000000000000000002\r\n\r\nok", false,
       {kDone, AnswerError::kNone, 200, "HTTP/1.1 200 OK", "ok"}},
      {"chunk data longer than its size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n",
       false, {kError, AnswerError::kBadChunk, 200, "HTTP/1.1 200 OK", "ab"}},
      {"a line past the bound, before its end has come",
       "HTTP/1.1 200 OK\r\nX-Long: " + std::string(AnswerParser::kMaxLineLength, 'a'), false,
       {kError, AnswerError::kLineTooLong, 200, "HTTP/1.1 200 OK", ""}},
      {"a status line past the bound", "HTTP/1.1 200 " + std::string(AnswerParser::kMaxLineLength, 'a') + "\r\n", false,
       {kError, AnswerError::kLineTooLong, 0, "", ""}},
      {"a chunk size line past the bound",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" + std::string(AnswerParser::kMaxLineLength, 'e'),
       false, {kError, AnswerError::kLineTooLong, 200, "HTTP/1.1 200 OK", ""}},
      {"too many header lines", "HTTP/1.1 200 OK\r\n" + Repeat("X: y\r\n", AnswerParser::kMaxHeaderLines + 1), false,
       {kError, AnswerError::kTooManyHeaders, 200, "HTTP/1.1 200 OK", ""}},
      {"too many trailer lines",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n" + Repeat("X: y\r\n", AnswerParser::kMaxHeaderLines + 1),
       false, {kError, AnswerError::kTooManyHeaders, 200, "HTTP/1.1 200 OK", ""}},
      {"endless interim answers", Repeat("HTTP/1.1 100 Continue\r\n\r\n", AnswerParser::kMaxInterimAnswers + 1), false,
       {kError, AnswerError::kTooManyInterimAnswers, 100, "HTTP/1.1 100 Continue", ""}},
  };
  return cases;
}

}  // namespace

TEST(AnswerParser, ReadsEveryAnswerOfTheTableFedWhole) {
  for (const Case& c : Cases()) {
    EXPECT_EQ(Parse(c.answer, std::max<std::size_t>(c.answer.size(), 1), c.close), c.expected) << c.what;
  }
}

TEST(AnswerParser, ReadsEveryAnswerOfTheTableFedByteByByte) {
  for (const Case& c : Cases()) {
    EXPECT_EQ(Parse(c.answer, 1, c.close), c.expected) << c.what;
  }
}

TEST(AnswerParser, ReadsEveryAnswerOfTheTableSplitAtEveryPlace) {
  for (const Case& c : Cases()) {
    if (c.answer.size() > 400) continue;  // the bound cases are long and add nothing here
    for (std::size_t split = 1; split < c.answer.size(); ++split) {
      AnswerParser parser;
      Outcome first = Parse(c.answer.substr(0, split), c.answer.size(), false, parser);
      Outcome rest = Parse(c.answer.substr(split), c.answer.size(), c.close, parser);
      rest.body = first.body + rest.body;
      EXPECT_EQ(rest, c.expected) << c.what << ", split at " << split;
    }
  }
}

TEST(AnswerParser, KeepsTheFinalAnswersHeadersForLookupIgnoringCase) {
  AnswerParser parser;
  Parse("HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n"
        "HTTP/1.1 200 OK\r\ncontent-type:  text/plain; charset=utf-8 \r\nX-Folded: one\r\n\ttwo\r\n"
        "Content-Length: 0\r\n\r\n",
        1, false, parser);
  ASSERT_EQ(parser.Status(), AnswerStatus::kDone);
  EXPECT_TRUE(parser.HeadComplete());
  EXPECT_EQ(parser.FindHeader("Content-Type"), std::optional<std::string_view>("text/plain; charset=utf-8"));
  EXPECT_EQ(parser.FindHeader("x-folded"), std::optional<std::string_view>("one two"));
  EXPECT_EQ(parser.FindHeader("X-Interim"), std::nullopt);
  EXPECT_EQ(parser.Headers().size(), 3u);
}

TEST(AnswerParser, TellsWhenTheFinalHeadIsComplete) {
  AnswerParser parser;
  Parse("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 5", 1, false, parser);
  EXPECT_FALSE(parser.HeadComplete()) << "an interim head or a head still arriving is not the answer's head";
  Parse("\r\n\r\nab", 1, true, parser);
  EXPECT_TRUE(parser.HeadComplete()) << "the head stays known when the body then fails";
  EXPECT_EQ(parser.Error(), AnswerError::kClosedEarly);
}

TEST(AnswerParser, NamesEveryErrorWithAText) {
  EXPECT_STREQ(AnswerErrorText(AnswerError::kClosedBeforeAnswer), L"Connection Closed Gracefully.");
  EXPECT_STREQ(AnswerErrorText(AnswerError::kClosedEarly), L"Connection Closed Gracefully.");
  for (AnswerError error : {AnswerError::kLineTooLong, AnswerError::kTooManyHeaders, AnswerError::kBadStatusLine,
                            AnswerError::kBadHeaderLine, AnswerError::kBadContentLength, AnswerError::kBadChunk,
                            AnswerError::kTooManyInterimAnswers}) {
    EXPECT_GT(std::wcslen(AnswerErrorText(error)), 0u) << static_cast<int>(error);
  }
}
