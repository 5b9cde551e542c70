#include "update/http_answer.h"

#include "common/texts.h"

#include <algorithm>

namespace {

char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsTokenCharacter(char c) {
  return c > ' ' && c < 0x7F && c != ':' && c != '(' && c != ')' && c != '<' && c != '>' && c != '@' &&
         c != ',' && c != ';' && c != '\\' && c != '"' && c != '/' && c != '[' && c != ']' && c != '?' &&
         c != '=' && c != '{' && c != '}';
}

// "HTTP/" major "." minor, one or more spaces, three digits, then the end or a space and a reason.
std::optional<int> ParseStatusLine(std::string_view line) {
  constexpr std::string_view kPrefix = "HTTP/";
  if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  std::size_t pos = kPrefix.size();
  const auto digits = [&] {
    const std::size_t start = pos;
    while (pos < line.size() && IsDigit(line[pos])) ++pos;
    return pos > start;
  };
  if (!digits() || pos >= line.size() || line[pos] != '.') return std::nullopt;
  ++pos;
  if (!digits() || pos >= line.size() || line[pos] != ' ') return std::nullopt;
  while (pos < line.size() && line[pos] == ' ') ++pos;
  if (line.size() - pos < 3) return std::nullopt;
  int code = 0;
  for (int i = 0; i < 3; ++i, ++pos) {
    if (!IsDigit(line[pos])) return std::nullopt;
    code = code * 10 + (line[pos] - '0');
  }
  if (pos < line.size() && line[pos] != ' ') return std::nullopt;
  return code;
}

// Appends one digit to a number read in `base`, refusing to pass `bound`. The test comes before the
// multiplication, so no digit string, however long, can wrap the value round to a small one.
bool AppendDigit(std::uint64_t& value, unsigned base, unsigned digit, std::uint64_t bound) noexcept {
  if (digit > bound || value > (bound - digit) / base) return false;
  value = value * base + digit;
  return true;
}

std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c) || !AppendDigit(value, 10, static_cast<unsigned>(c - '0'), AnswerParser::kMaxContentLength)) {
      return std::nullopt;
    }
  }
  return value;
}

// Whether a Transfer-Encoding value names the chunked coding among its comma-separated codings.
bool NamesChunked(std::string_view value) {
  while (!value.empty()) {
    const std::size_t comma = value.find(',');
    std::string_view coding = value.substr(0, comma);
    coding = TrimBlanks(coding.substr(0, coding.find(';')));
    if (EqualsIgnoringAsciiCase(coding, "chunked")) return true;
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

const wchar_t* AnswerErrorText(AnswerError error) noexcept {
  switch (error) {
    case AnswerError::kNone: return L"";
    case AnswerError::kClosedBeforeAnswer:
    case AnswerError::kClosedEarly: return texts::kConnectionClosedGracefully;
    case AnswerError::kLineTooLong: return texts::kAnswerLineTooLong;
    case AnswerError::kTooManyHeaders: return texts::kAnswerTooManyHeaders;
    case AnswerError::kBadStatusLine: return texts::kAnswerBadStatusLine;
    case AnswerError::kBadHeaderLine: return texts::kAnswerBadHeaderLine;
    case AnswerError::kBadContentLength: return texts::kAnswerBadContentLength;
    case AnswerError::kBadChunk: return texts::kAnswerBadChunk;
    case AnswerError::kTooManyInterimAnswers: return texts::kAnswerTooManyInterim;
  }
  return L"";
}

AnswerStatus AnswerParser::Status() const noexcept {
  switch (state_) {
    case State::kDone: return AnswerStatus::kDone;
    case State::kError: return AnswerStatus::kError;
    default: return AnswerStatus::kNeedMore;
  }
}

std::optional<std::string_view> AnswerParser::FindHeader(std::string_view name) const {
  for (const AnswerHeader& header : headers_) {
    if (EqualsIgnoringAsciiCase(header.name, name)) return header.value;
  }
  return std::nullopt;
}

AnswerParser::Step AnswerParser::Feed(std::string_view input) {
  std::size_t pos = 0;
  if (!input.empty()) sawBytes_ = true;
  while (pos < input.size()) {
    switch (state_) {
      case State::kBody:
      case State::kChunkData: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, input.size() - pos));
        const std::string_view body = input.substr(pos, take);
        pos += take;
        remaining_ -= take;
        if (remaining_ == 0) state_ = state_ == State::kBody ? State::kDone : State::kChunkDataEnd;
        return {Status(), pos, body};
      }
      case State::kBodyUntilClose:
        return {Status(), input.size(), input.substr(pos)};
      case State::kDone:
      case State::kError:
        return {Status(), pos, {}};
      default: {
        // A line of the head, a chunk size or a trailer, collected across calls up to its LF.
        const std::size_t lf = input.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? input.size() : lf;
        if (line_.size() + (end - pos) > kMaxLineLength) {
          Fail(AnswerError::kLineTooLong);
          return {Status(), pos, {}};
        }
        line_.append(input.substr(pos, end - pos));
        pos = end;
        if (lf == std::string_view::npos) break;
        ++pos;
        std::string_view line = line_;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool ok = OnLine(line);
        line_.clear();
        if (!ok || state_ == State::kDone) return {Status(), pos, {}};
        break;
      }
    }
  }
  return {Status(), pos, {}};
}

AnswerStatus AnswerParser::Finish() {
  switch (state_) {
    case State::kBodyUntilClose: state_ = State::kDone; break;
    case State::kDone:
    case State::kError: break;
    case State::kStatusLine:
      if (!sawBytes_) {
        Fail(AnswerError::kClosedBeforeAnswer);
        break;
      }
      [[fallthrough]];
    default: Fail(AnswerError::kClosedEarly); break;
  }
  return Status();
}

bool AnswerParser::Fail(AnswerError error) {
  state_ = State::kError;
  error_ = error;
  return false;
}

bool AnswerParser::OnLine(std::string_view line) {
  switch (state_) {
    case State::kStatusLine: return OnStatusLine(line);
    case State::kHeaders: return OnHeaderLine(line);
    case State::kChunkSize: return OnChunkSizeLine(line);
    case State::kChunkDataEnd:
      if (!line.empty()) return Fail(AnswerError::kBadChunk);
      state_ = State::kChunkSize;
      return true;
    case State::kTrailers:
      // Trailer fields are read and dropped; they count against the same bound as headers.
      if (line.empty()) {
        state_ = State::kDone;
        return true;
      }
      if (++headerLines_ > kMaxHeaderLines) return Fail(AnswerError::kTooManyHeaders);
      return true;
    default: return true;
  }
}

bool AnswerParser::OnStatusLine(std::string_view line) {
  const std::optional<int> code = ParseStatusLine(line);
  if (!code) return Fail(AnswerError::kBadStatusLine);
  statusCode_ = *code;
  statusLine_.assign(line);
  headers_.clear();
  headerLines_ = 0;
  state_ = State::kHeaders;
  return true;
}

bool AnswerParser::OnHeaderLine(std::string_view line) {
  if (line.empty()) return EndOfHead();
  if (++headerLines_ > kMaxHeaderLines) return Fail(AnswerError::kTooManyHeaders);
  if (IsBlank(line.front())) {
    // An obsolete folded line continues the previous header's value.
    if (headers_.empty()) return Fail(AnswerError::kBadHeaderLine);
    const std::string_view more = TrimBlanks(line);
    std::string& value = headers_.back().value;
    if (!more.empty()) value.append(value.empty() ? "" : " ").append(more);
    return true;
  }
  const std::size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return Fail(AnswerError::kBadHeaderLine);
  const std::string_view name = line.substr(0, colon);
  for (char c : name) {
    if (!IsTokenCharacter(c)) return Fail(AnswerError::kBadHeaderLine);
  }
  headers_.push_back({std::string(name), std::string(TrimBlanks(line.substr(colon + 1)))});
  return true;
}

bool AnswerParser::OnChunkSizeLine(std::string_view line) {
  line = TrimBlanks(line.substr(0, line.find(';')));
  if (line.empty()) return Fail(AnswerError::kBadChunk);
  std::uint64_t size = 0;
  for (char c : line) {
    unsigned digit;
    if (IsDigit(c)) {
      digit = static_cast<unsigned>(c - '0');
    } else if (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
      digit = static_cast<unsigned>(LowerAscii(c) - 'a' + 10);
    } else {
      return Fail(AnswerError::kBadChunk);
    }
    if (!AppendDigit(size, 16, digit, AnswerParser::kMaxChunkSize)) return Fail(AnswerError::kBadChunk);
  }
  if (size == 0) {
    state_ = State::kTrailers;
  } else {
    remaining_ = size;
    state_ = State::kChunkData;
  }
  return true;
}

bool AnswerParser::EndOfHead() {
  if (statusCode_ == 100) {
    if (++interimAnswers_ > kMaxInterimAnswers) return Fail(AnswerError::kTooManyInterimAnswers);
    state_ = State::kStatusLine;
    return true;
  }
  headComplete_ = true;
  if ((statusCode_ >= 100 && statusCode_ <= 199) || statusCode_ == 204 || statusCode_ == 304) {
    state_ = State::kDone;
    return true;
  }
  bool hasTransferEncoding = false;
  bool chunked = false;
  std::optional<std::uint64_t> length;
  for (const AnswerHeader& header : headers_) {
    if (EqualsIgnoringAsciiCase(header.name, "Transfer-Encoding")) {
      hasTransferEncoding = true;
      chunked = chunked || NamesChunked(header.value);
    } else if (EqualsIgnoringAsciiCase(header.name, "Content-Length")) {
      const std::optional<std::uint64_t> value = ParseDecimal(header.value);
      // Two lengths that disagree leave the body's end unknown.
      if (!value || (length && *length != *value)) return Fail(AnswerError::kBadContentLength);
      length = value;
    }
  }
  headerLines_ = 0;
  if (chunked) {
    state_ = State::kChunkSize;
  } else if (hasTransferEncoding || !length) {
    state_ = State::kBodyUntilClose;
  } else if (*length == 0) {
    state_ = State::kDone;
  } else {
    remaining_ = *length;
    state_ = State::kBody;
  }
  return true;
}
