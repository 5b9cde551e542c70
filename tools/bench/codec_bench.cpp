// Figures for the two decoders of outside input that the program runs: the PNG decoder over every
// picture it carries, and the HTTP answer parser over the answers it receives. Prints markdown
// table rows and asserts nothing.
//
//   codec_bench PICTURE.png...

#include "ui/png_decoder.h"
#include "update/http_answer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Keeps the measured work observable, so the optimiser cannot drop it.
volatile std::uint64_t gSink = 0;

// The median time of one call of `work`, in seconds. Calls are grouped into batches of about
// 20 ms so the clock's resolution does not matter, and the median batch is taken so that a
// neighbour's burst on a shared machine does not either.
double MedianSeconds(const std::function<void()>& work) {
  constexpr auto kBatchTarget = std::chrono::milliseconds(20);
  constexpr int kBatches = 31;
  work();  // warm the caches and the allocator
  std::size_t perBatch = 1;
  for (;;) {
    const auto start = Clock::now();
    for (std::size_t i = 0; i < perBatch; ++i) work();
    if (Clock::now() - start >= kBatchTarget / 2 || perBatch >= (std::size_t{1} << 30)) break;
    perBatch *= 2;
  }
  std::vector<double> samples;
  for (int b = 0; b < kBatches; ++b) {
    const auto start = Clock::now();
    for (std::size_t i = 0; i < perBatch; ++i) work();
    samples.push_back(std::chrono::duration<double>(Clock::now() - start).count() / static_cast<double>(perBatch));
  }
  std::nth_element(samples.begin(), samples.begin() + kBatches / 2, samples.end());
  return samples[kBatches / 2];
}

std::vector<std::uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "codec_bench: cannot read %s\n", path);
    std::exit(2);
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Parses one answer as the transfer does: pieces of at most 16 KiB, as recv hands them over.
std::uint64_t ParseAnswer(const std::string& answer) {
  constexpr std::size_t kPiece = 16 * 1024;
  AnswerParser parser;
  std::uint64_t bodyBytes = 0;
  std::string_view rest(answer);
  while (!rest.empty() && parser.Status() == AnswerStatus::kNeedMore) {
    std::string_view input = rest.substr(0, kPiece);
    rest.remove_prefix(input.size());
    while (!input.empty()) {
      const AnswerParser::Step step = parser.Feed(input);
      bodyBytes += step.body.size();
      input.remove_prefix(step.consumed);
      if (step.status != AnswerStatus::kNeedMore) break;
    }
  }
  if (parser.Status() != AnswerStatus::kDone) {
    std::fprintf(stderr, "codec_bench: a sample answer did not parse\n");
    std::exit(2);
  }
  return bodyBytes;
}

// An answer as the loopback maker's server writes it, around `body`.
std::string HeadFor(std::size_t bodySize, const char* contentType) {
  return "HTTP/1.1 200 OK\r\nServer: LAGVANE-maker Python/3.11\r\nDate: Mon, 01 Jan 2024 00:00:00 GMT\r\n"
         "Content-Type: " + std::string(contentType) + "\r\nContent-Length: " + std::to_string(bodySize) + "\r\n\r\n";
}

std::string Body(std::size_t size) {
  std::string body(size, '\0');
  std::uint32_t state = 12345;
  for (char& c : body) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return body;
}

std::string Chunked(const std::string& body, std::size_t chunkSize) {
  std::string answer =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nTransfer-Encoding: chunked\r\n\r\n";
  char size[32];
  for (std::size_t at = 0; at < body.size(); at += chunkSize) {
    const std::size_t n = std::min(chunkSize, body.size() - at);
    std::snprintf(size, sizeof size, "%zx\r\n", n);
    answer.append(size).append(body, at, n).append("\r\n");
  }
  return answer.append("0\r\n\r\n");
}

// A body is handed back as a view into the input, so large bodies run at memory speed and beyond:
// the rate is given in whichever unit reads best.
void PrintRate(const char* what, std::size_t bytes, double seconds) {
  const double rate = static_cast<double>(bytes) / seconds;
  std::printf("| %s | %zu B | %.1f µs | %.1f %s |\n", what, bytes, seconds * 1e6, rate >= 1e9 ? rate / 1e9 : rate / 1e6,
              rate >= 1e9 ? "GB/s" : "MB/s");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: codec_bench PICTURE.png...\n");
    return 2;
  }
  std::vector<std::vector<std::uint8_t>> pictures;
  std::size_t fileBytes = 0;
  std::size_t pixels = 0;
  for (int i = 1; i < argc; ++i) {
    pictures.push_back(ReadFile(argv[i]));
    fileBytes += pictures.back().size();
    pixels += DecodePngOrThrow(pictures.back()).rgba.size() / 4;
  }

  std::printf("| work | input | median time | throughput |\n|---|---|---:|---:|\n");
  const double decode = MedianSeconds([&] {
    for (const auto& file : pictures) gSink = gSink + DecodePngOrThrow(file).rgba.size();
  });
  const std::string count = std::to_string(pictures.size()) + " pictures, " + std::to_string(pixels) + " pixels";
  PrintRate(("PNG decode, every picture once (" + count + ")").c_str(), fileBytes, decode);
  // What the resource store does with each picture: decode, then premultiply for per-pixel alpha.
  const double premultiplied = MedianSeconds([&] {
    for (const auto& file : pictures) gSink = gSink + PremultipliedBgra(DecodePngOrThrow(file)).size();
  });
  PrintRate("PNG decode + premultiply, every picture once", fileBytes, premultiplied);

  const std::string manifestBody = "LAGVANE.exe=1.0.0.0\r\n";
  const std::string manifest = HeadFor(manifestBody.size(), "text/plain") + manifestBody;
  const std::string large = Body(4 * 1024 * 1024);
  const std::string lengthDelimited = HeadFor(large.size(), "application/octet-stream") + large;
  const std::string chunked = Chunked(large, 8 * 1024);
  PrintRate("HTTP answer: the version manifest", manifest.size(),
            MedianSeconds([&] { gSink = gSink + ParseAnswer(manifest); }));
  PrintRate("HTTP answer: 4 MiB body, Content-Length", lengthDelimited.size(),
            MedianSeconds([&] { gSink = gSink + ParseAnswer(lengthDelimited); }));
  PrintRate("HTTP answer: 4 MiB body, chunked (8 KiB chunks)", chunked.size(),
            MedianSeconds([&] { gSink = gSink + ParseAnswer(chunked); }));
  return 0;
}
