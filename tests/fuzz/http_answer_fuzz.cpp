// An answer from the network, read whole, cut into pieces at places the input chooses, and byte by
// byte: every reading must give the same answer, and the body must be where the chunk sizes on
// the wire put it. Then the body is read as text by the character set the answer names.

#include "update/charset.h"
#include "update/http_answer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Reading {
  AnswerStatus status = AnswerStatus::kNeedMore;
  AnswerError error = AnswerError::kNone;
  int code = 0;
  std::string statusLine;
  bool headComplete = false;
  std::vector<AnswerHeader> headers;
  std::optional<std::string> contentType;
  std::string body;
  // Which input bytes the parser handed back as body, how far it read, and (when read byte by
  // byte) where the final answer's head ended.
  std::vector<bool> isBody;
  std::size_t consumed = 0;
  std::optional<std::size_t> headEnd;
};

bool SameAnswer(const Reading& a, const Reading& b) {
  if (a.status != b.status || a.error != b.error || a.code != b.code || a.statusLine != b.statusLine ||
      a.headComplete != b.headComplete || a.body != b.body || a.isBody != b.isBody || a.consumed != b.consumed ||
      a.headers.size() != b.headers.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.headers.size(); ++i) {
    if (a.headers[i].name != b.headers[i].name || a.headers[i].value != b.headers[i].value) return false;
  }
  return true;
}

// Feeds the input in pieces of the sizes `nextPiece` gives, each in a buffer of its own so that a
// read past a piece is a sanitizer error, then closes the connection.
template <class NextPiece>
Reading Read(std::string_view input, NextPiece nextPiece, bool byteByByte = false) {
  AnswerParser parser;
  Reading reading;
  reading.isBody.assign(input.size(), false);
  std::size_t pos = 0;
  while (pos < input.size() && parser.Status() == AnswerStatus::kNeedMore) {
    const std::size_t size = byteByByte ? 1 : std::min(input.size() - pos, nextPiece());
    const std::vector<char> buffer(input.begin() + static_cast<std::ptrdiff_t>(pos),
                                   input.begin() + static_cast<std::ptrdiff_t>(pos + size));
    std::string_view piece(buffer.data(), buffer.size());
    while (!piece.empty()) {
      const AnswerParser::Step step = parser.Feed(piece);
      if (step.consumed > piece.size()) std::abort();
      if (step.status == AnswerStatus::kNeedMore && step.consumed == 0) std::abort();
      if (step.body.size() > step.consumed) std::abort();
      if (!step.body.empty()) {
        if (step.body.data() < piece.data() || step.body.data() + step.body.size() > piece.data() + step.consumed) {
          std::abort();
        }
        const std::size_t at = pos + static_cast<std::size_t>(piece.data() - buffer.data()) +
                               static_cast<std::size_t>(step.body.data() - piece.data());
        for (std::size_t i = 0; i < step.body.size(); ++i) reading.isBody[at + i] = true;
      }
      reading.body += step.body;
      piece.remove_prefix(step.consumed);
      reading.consumed = pos + static_cast<std::size_t>(piece.data() - buffer.data());
      if (byteByByte && !reading.headEnd && parser.HeadComplete()) reading.headEnd = reading.consumed;
      if (step.status != AnswerStatus::kNeedMore) break;
    }
    pos += size;
  }
  parser.Finish();
  reading.status = parser.Status();
  reading.error = parser.Error();
  reading.code = parser.StatusCode();
  reading.statusLine = parser.StatusLine();
  reading.headComplete = parser.HeadComplete();
  reading.headers = parser.Headers();
  if (const std::optional<std::string_view> type = parser.FindHeader("Content-Type")) reading.contentType = *type;
  return reading;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The value of a chunk-size line, read here without arithmetic that could wrap: its significant
// digits are counted first. Nothing when the line holds no size the parser may take.
std::optional<std::uint64_t> ChunkSize(std::string_view line) {
  line = line.substr(0, line.find(';'));
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (line.empty()) return std::nullopt;
  for (char c : line) {
    if (!IsHexDigit(c)) return std::nullopt;
  }
  while (line.size() > 1 && line.front() == '0') line.remove_prefix(1);
  if (line.size() > 16) return std::nullopt;
  const std::uint64_t value = std::stoull(std::string(line), nullptr, 16);
  if (value > AnswerParser::kMaxChunkSize) return std::nullopt;
  return value;
}

// The last line of a stretch of framing that ends with its line break, without the break.
std::string_view LastLine(std::string_view framing) {
  if (framing.empty() || framing.back() != '\n') std::abort();
  framing.remove_suffix(1);
  if (!framing.empty() && framing.back() == '\r') framing.remove_suffix(1);
  const std::size_t lf = framing.rfind('\n');
  return lf == std::string_view::npos ? framing : framing.substr(lf + 1);
}

// After the final head, a body delimited by length or by the close is every byte read; only chunked
// coding leaves framing between. Each chunk's bytes must then follow a size line of that value (a
// shorter run only where the input ends), and a complete answer's last chunk must have size 0.
// Whole and split readings agree on a size misread the same way each time (a wrapped one, say);
// this is what catches it.
void CheckChunkFraming(std::string_view input, const Reading& reading) {
  if (!reading.headEnd) return;
  std::size_t pos = *reading.headEnd;
  bool framed = false;
  for (std::size_t i = pos; i < reading.consumed; ++i) framed = framed || !reading.isBody[i];
  if (!framed) return;
  bool firstChunk = true;
  while (true) {
    std::size_t start = pos;
    while (start < reading.consumed && !reading.isBody[start]) ++start;
    if (start == reading.consumed) break;
    std::size_t end = start;
    while (end < input.size() && reading.isBody[end]) ++end;
    const std::optional<std::uint64_t> size = ChunkSize(LastLine(input.substr(pos, start - pos)));
    if (!size) std::abort();
    const std::uint64_t length = end - start;
    if (*size < length || (*size > length && end != input.size())) std::abort();
    pos = end;
    firstChunk = false;
  }
  if (reading.status != AnswerStatus::kDone) return;
  // The rest: the line that ends the last chunk's data (when there was one), then the last chunk.
  std::string_view rest = input.substr(pos, reading.consumed - pos);
  if (!firstChunk) rest.remove_prefix(rest.find('\n') + 1);
  const std::size_t lf = rest.find('\n');
  if (lf == std::string_view::npos) std::abort();
  if (ChunkSize(LastLine(rest.substr(0, lf + 1))) != std::optional<std::uint64_t>(0)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses two piece sizes that alternate, so the fuzzer explores the ways the
  // bytes may arrive.
  const std::size_t pieceSizes[] = {std::size_t{data[0]} % 16 + 1, std::size_t{data[0]} / 16 + 1};
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  const Reading whole = Read(input, [&] { return std::max<std::size_t>(input.size(), 1); });
  std::size_t piece = 0;
  const Reading split = Read(input, [&] { return pieceSizes[piece++ % 2]; });
  const Reading byByte = Read(input, [] { return std::size_t{1}; }, true);
  if (!SameAnswer(whole, split) || !SameAnswer(whole, byByte)) std::abort();

  if (whole.status == AnswerStatus::kNeedMore) std::abort();
  if (whole.status == AnswerStatus::kError && AnswerErrorText(whole.error)[0] == L'\0') std::abort();
  CheckChunkFraming(input, byByte);

  const std::string charset = TextCharset(
      whole.contentType ? std::optional<std::string_view>(*whole.contentType) : std::nullopt, whole.body);
  const CodePageDecoder latin1 = [](std::uint32_t, std::string_view bytes) -> std::optional<std::wstring> {
    return std::wstring(bytes.begin(), bytes.end());
  };
  DecodeText(whole.body, charset, latin1);
  return 0;
}
