// An answer from the network, cut into pieces at places the input chooses, then its body read as
// text by the character set the answer names.

#include "update/charset.h"
#include "update/http_answer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the piece size, so the fuzzer explores every way the bytes may arrive.
  const std::size_t pieceSize = data[0] % 17 + 1;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  AnswerParser parser;
  std::string body;
  for (std::size_t pos = 0; pos < input.size() && parser.Status() == AnswerStatus::kNeedMore; pos += pieceSize) {
    // Each piece in a buffer of its own: a read past it is a sanitizer error.
    const std::vector<char> buffer(input.begin() + static_cast<std::ptrdiff_t>(pos),
                                   input.begin() + static_cast<std::ptrdiff_t>(std::min(input.size(), pos + pieceSize)));
    std::string_view piece(buffer.data(), buffer.size());
    while (!piece.empty()) {
      const AnswerParser::Step step = parser.Feed(piece);
      if (step.consumed > piece.size()) std::abort();
      if (step.status == AnswerStatus::kNeedMore && step.consumed == 0) std::abort();
      if (step.body.size() > step.consumed) std::abort();
      body += step.body;
      piece.remove_prefix(step.consumed);
      if (step.status != AnswerStatus::kNeedMore) break;
    }
  }
  parser.Finish();
  if (parser.Status() == AnswerStatus::kNeedMore) std::abort();
  if (parser.Status() == AnswerStatus::kError && AnswerErrorText(parser.Error())[0] == L'\0') std::abort();

  const std::string charset = TextCharset(parser.FindHeader("Content-Type"), body);
  const CodePageDecoder latin1 = [](std::uint32_t, std::string_view bytes) -> std::optional<std::wstring> {
    return std::wstring(bytes.begin(), bytes.end());
  };
  DecodeText(body, charset, latin1);
  return 0;
}
