// One HTTP transfer over real sockets on loopback, against a server that scripts each answer and
// records each request byte for byte.

#include "common/error.h"
#include "error_of.h"
#include "loopback_server.h"
#include "update/http_client.h"
#include "update/update_operations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>

using namespace std::chrono_literals;
using fakes::LoopbackServer;
using fakes::Millis;
using fakes::Reply;

namespace {

using Clock = std::chrono::steady_clock;

std::wstring GetText(const ServerAddress& server, const char* path = "/version.dat",
                     HttpTimeouts timeouts = kManifestTimeouts) {
  return HttpGetText(server, path, timeouts);
}

}  // namespace

TEST(HttpTransfer, SendsTheRequestByteForByteAndNothingElse) {
  LoopbackServer server;
  server.AnswerAlways("/log_db_update.html?SECTION=R&COMPANY=A", fakes::Ok("<html></html>", "text/html"));
  GetText(server.Address(), "/log_db_update.html?SECTION=R&COMPANY=A", kStartReportTimeouts);
  const std::string host = "127.0.0.1:" + std::to_string(server.Address().port);
  EXPECT_EQ(server.Requests(), std::vector<std::string>{
                                   "GET /log_db_update.html?SECTION=R&COMPANY=A HTTP/1.1\r\n"
                                   "Host: " + host + "\r\n"
                                   "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
                                   "Accept-Encoding: identity\r\n"
                                   "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                                   "\r\n"});
  EXPECT_EQ(server.Connections(), 1u);
}

TEST(HttpTransfer, ReadsBodiesDelimitedByLengthChunksOrTheClose) {
  LoopbackServer server;
  server.Script("/version.dat",
                {fakes::Ok("LAGVANE.exe=1.0.0.2\r\n"),
                 {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "C\r\nLAGVANE.exe=\r\n7;part=2\r\n1.0.0.3\r\n0\r\n\r\n"},
                 {"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nLAGVANE.exe=1.0.0.4", 0ms, 300ms},
                 {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nafter 100"},
                 fakes::Status("HTTP/1.1 204 No Content")});
  EXPECT_EQ(GetText(server.Address()), L"LAGVANE.exe=1.0.0.2\r\n");
  EXPECT_EQ(GetText(server.Address()), L"LAGVANE.exe=1.0.0.3");
  EXPECT_EQ(GetText(server.Address()), L"LAGVANE.exe=1.0.0.4");
  EXPECT_EQ(GetText(server.Address()), L"aft");
  EXPECT_EQ(GetText(server.Address()), L"");
  EXPECT_EQ(server.Connections(), 5u) << "one connection per transfer";
}

TEST(HttpTransfer, DecodesTheBodyByTheCharacterSetTheAnswerNames) {
  LoopbackServer server;
  const std::string utf8 = "LAGVANE.exe=\xEB\x9D\xBC\xEA\xB7\xB8";  // 라그
  const std::string eucKr = "LAGVANE.exe=\xB6\xF3\xB1\xD7";          // 라그
  server.Script("/version.dat", {fakes::Ok(utf8, "text/plain; charset=utf-8"),
                                 fakes::Ok(utf8, "application/octet-stream"),
                                 fakes::Ok(eucKr, "text/plain; charset=euc-kr"),
                                 fakes::Ok(eucKr, "text/html"),
                                 fakes::Ok("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-kr\">" + eucKr,
                                           "text/html")});
  EXPECT_EQ(GetText(server.Address()), L"LAGVANE.exe=라그");
  EXPECT_EQ(GetText(server.Address()), L"LAGVANE.exe=\u00EB\u009D\u00BC\u00EA\u00B7\u00B8");
  EXPECT_EQ(GetText(server.Address()), L"LAGVANE.exe=라그") << "through the platform's code page 949";
  EXPECT_EQ(GetText(server.Address()), L"LAGVANE.exe=\u00B6\u00F3\u00B1\u00D7");
  const std::wstring html = GetText(server.Address());
  EXPECT_EQ(html.substr(html.find(L'>') + 1), L"LAGVANE.exe=라그") << "by the HTML's meta element";
}

TEST(HttpTransfer, FailsOnEveryStatusButSuccessWithTheStatusLineAndFollowsNoRedirect) {
  LoopbackServer server;
  server.Script("/version.dat",
                {{"HTTP/1.1 302 Found\r\nLocation: /elsewhere.dat\r\nContent-Length: 5\r\n\r\nmoved"},
                 fakes::Status("HTTP/1.1 304 Not Modified"),
                 fakes::Status("HTTP/1.1 401 Unauthorized"),
                 {"HTTP/1.0 500 Internal Server Error\r\n\r\nthe page of the failure", 0ms, 100ms},
                 fakes::Status("HTTP/1.1 101 Switching Protocols"),
                 // The status decides even when the failed answer's body then breaks off.
                 {"HTTP/1.1 404 Not Found\r\nContent-Length: 100\r\n\r\npart"}});
  server.AnswerAlways("/elsewhere.dat", fakes::Ok("LAGVANE.exe=9.9.9.9"));
  for (const wchar_t* line : {L"HTTP/1.1 302 Found", L"HTTP/1.1 304 Not Modified", L"HTTP/1.1 401 Unauthorized",
                              L"HTTP/1.0 500 Internal Server Error", L"HTTP/1.1 101 Switching Protocols",
                              L"HTTP/1.1 404 Not Found"}) {
    EXPECT_EQ(ErrorOf([&] { GetText(server.Address()); }), line);
  }
  std::this_thread::sleep_for(200ms);
  for (const std::string& request : server.Requests()) {
    EXPECT_EQ(request.rfind("GET /version.dat ", 0), 0u) << "the new location is never asked for";
  }
}

TEST(HttpTransfer, ARefusedConnectionIsASocketError) {
  EXPECT_EQ(ErrorOf([] { GetText(fakes::RefusingAddress(), "/log_db_update.html", kStartReportTimeouts); }),
            L"Socket Error # 10061\r\nConnection refused.");
}

TEST(HttpTransfer, AConnectionThatIsNotAcceptedWithin100MsTimesOut) {
  const fakes::UnacceptingListener listener;
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(ErrorOf([&] { GetText(listener.Address(), "/log_db_update.html", kStartReportTimeouts); }),
            L"Connect timed out.");
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, 100ms);
  EXPECT_LT(elapsed, 1500ms);
}

TEST(HttpTransfer, ASilentServerTimesOutAfter3000MsNeverEarlier) {
  LoopbackServer server;
  // Silent after the request; then a head that stops half-way and is silent again.
  server.Script("/log", {{"", 0ms, 5000ms}, {"HTTP/1.1 200 OK\r\nContent-", 0ms, 5000ms}});
  for (int i = 0; i < 2; ++i) {
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { GetText(server.Address(), "/log", kStartReportTimeouts); }), L"Read timed out.");
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 3000ms);
    EXPECT_LT(elapsed, 4500ms);
  }
}

TEST(HttpTransfer, EachWaitForDataHasItsOwnBoundNotTheWholeTransfer) {
  LoopbackServer server;
  // The answer comes in three pieces 2 s apart: 4 s in all, but never 3 s of silence.
  Reply slow{"HTTP/1.1 200 OK\r\n"};
  slow.later = {{2000ms, "Content-Length: 2\r\n\r\n"}, {2000ms, "ok"}};
  server.Script("/slow", {slow});
  EXPECT_EQ(GetText(server.Address(), "/slow", kStartReportTimeouts), L"ok");
}

TEST(HttpTransfer, ACloseBeforeTheAnswerIsCompleteFails) {
  LoopbackServer server;
  server.Script("/version.dat", {{""},
                                 {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nLAGVANE.exe=1.0"},
                                 {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nLAGVANE"},
                                 {"HTTP/1.1 200 OK\r\nContent-Ty"}});
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ErrorOf([&] { GetText(server.Address()); }), L"Connection Closed Gracefully.") << i;
  }
}

TEST(HttpTransfer, ATextBodyBeyondItsBoundIsRefusedNotHeld) {
  LoopbackServer server;
  server.Script("/version.dat", {fakes::Ok(std::string(kMaxTextBody, 'x')), fakes::Ok(std::string(kMaxTextBody + 1, 'x'))});
  EXPECT_EQ(GetText(server.Address()).size(), kMaxTextBody);
  EXPECT_EQ(ErrorOf([&] { GetText(server.Address()); }), L"The server's answer is too long.");
}

TEST(HttpTransfer, AnAnswerThatIsNotHttpFails) {
  LoopbackServer server;
  server.Script("/version.dat", {{"SSH-2.0-OpenSSH_9.2\r\n"},
                                 {"HTTP/1.1 200 OK\r\nX: " + std::string(10000, 'x') + "\r\n\r\n"}});
  EXPECT_EQ(ErrorOf([&] { GetText(server.Address()); }), L"The server's answer has no valid status line.");
  EXPECT_EQ(ErrorOf([&] { GetText(server.Address()); }), L"The server's answer has a line that is too long.");
}

namespace {

// An answer that arrives one byte at a time, each after a pause: never a wait long enough for the
// read time-out, but never an end either.
Reply Trickling(const std::string& bytes, Millis pause) {
  Reply reply{bytes.substr(0, 1)};
  for (std::size_t i = 1; i < bytes.size(); ++i) reply.later.push_back({pause, bytes.substr(i, 1)});
  return reply;
}

const std::string kEndlessHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Padding: " + std::string(200, 'x');

}  // namespace

TEST(HttpTransfer, AWholeTransferEndsAtItsBoundAsAReadTimeOutWhateverTheServerDoes) {
  LoopbackServer server;
  server.AnswerAlways("/head", Trickling(kEndlessHead, 500ms));
  server.AnswerAlways("/body", Trickling("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(400, 'x'), 10ms));
  const HttpTimeouts bound{1000, 1000, 3000};
  const auto transfers = {
      std::function<void()>([&] { HttpGetText(server.Address(), "/head", bound); }),
      std::function<void()>([&] { HttpGetText(server.Address(), "/body", bound); }),
      std::function<void()>([&] {
        const UniqueHandle sink(CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        HttpGetFile(server.Address(), "/body", sink.get(), bound);
      }),
  };
  for (const std::function<void()>& transfer : transfers) {
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(ErrorOf(transfer), L"Read timed out.");
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 3000ms);
    EXPECT_LT(elapsed, 6000ms);
  }
}

// The shipped bounds, each against a server that sends a byte every two seconds: the start
// report within 10 s in all, each manifest transfer within 30 s.
TEST(HttpTransfer, TheShippedTransfersEndWithinTheirWholeBoundsAgainstATricklingServer) {
  LoopbackServer server;
  server.AnswerAlways("/version.dat", Trickling(kEndlessHead, 2000ms));
  server.AnswerAlways("/log_db_update.html?SECTION=R&COMPANY=A", Trickling(kEndlessHead, 2000ms));
  const auto timed = [](auto transfer) {
    return std::async(std::launch::async, [transfer] {
      const Clock::time_point start = Clock::now();
      const std::wstring error = ErrorOf(transfer);
      return std::make_pair(error, std::chrono::duration_cast<Millis>(Clock::now() - start));
    });
  };
  auto report = timed([&] { SendStartReport(server.Address()); });
  auto read = timed([&] { GetServerVersion(L"LAGVANE.exe", server.Address()); });
  auto probe = std::async(std::launch::async, [&] {
    const Clock::time_point start = Clock::now();
    const bool reachable = CheckUpdateServer(server.Address());
    return std::make_pair(reachable, std::chrono::duration_cast<Millis>(Clock::now() - start));
  });
  const auto [reportError, reportTime] = report.get();
  EXPECT_EQ(reportError, L"Read timed out.");
  EXPECT_GE(reportTime, 10000ms);
  EXPECT_LT(reportTime, 14000ms);
  const auto [readError, readTime] = read.get();
  EXPECT_EQ(readError, L"버전 정보를 받을 수가 없습니다.");
  EXPECT_GE(readTime, 30000ms);
  EXPECT_LT(readTime, 36000ms);
  const auto [reachable, probeTime] = probe.get();
  EXPECT_FALSE(reachable);
  EXPECT_GE(probeTime, 30000ms);
  EXPECT_LT(probeTime, 36000ms);
}

TEST(HttpTransfer, AFailedAnswersBodyIsReadOnlySoFarThenTheStatusIsTheFailure) {
  LoopbackServer server;
  // An enormous length announced, more than the bound sent, then silence that would outlast the
  // read time-out: the transfer ends at the bound, long before it.
  Reply endless{"HTTP/1.1 404 Not Found\r\nContent-Length: 99999999999999\r\n\r\n" + std::string(kMaxDiscardedBody + 4096, 'x'),
                0ms, 30000ms};
  server.Script("/version.dat", {endless, {"HTTP/1.1 500 Oops\r\nContent-Length: 65536\r\n\r\n" +
                                           std::string(kMaxDiscardedBody, 'x')}});
  for (const wchar_t* line : {L"HTTP/1.1 404 Not Found", L"HTTP/1.1 500 Oops"}) {
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { GetText(server.Address(), "/version.dat", {5000, 15000, 60000}); }), line);
    EXPECT_LT(Clock::now() - start, 10000ms) << "well within the read time-out of 15 s";
  }
}

TEST(HttpTransfer, AFileTransferOfAnExpectedLengthRefusesAnyOtherAndNeverWritesMore) {
  LoopbackServer server;
  const std::string chunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const struct {
    const char* what;
    Reply reply;
    std::string error;  // empty: taken
    std::string written;
  } cases[] = {
      {"as signed", fakes::Ok("MZ12"), "", "MZ12"},
      {"chunked, as signed", {chunkedHead + "2\r\nMZ\r\n2\r\n12\r\n0\r\n\r\n"}, "", "MZ12"},
      // Refused at its head: the silence after it is never waited for.
      {"announcing more", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", 0ms, 30000ms}, "wrong", ""},
      {"announcing less", {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nMZ1"}, "wrong", ""},
      {"sending more", {chunkedHead + "3\r\nMZ1\r\n3\r\n234\r\n0\r\n\r\n"}, "wrong", "MZ1"},
      {"sending more at once", {chunkedHead + "5\r\nMZ123\r\n0\r\n\r\n"}, "wrong", ""},
      {"sending less", {"HTTP/1.1 200 OK\r\n\r\nMZ1"}, "wrong", "MZ1"},
  };
  const std::wstring path = std::filesystem::temp_directory_path().wstring() + L"\\lagvane-length-test.bin";
  for (const auto& c : cases) {
    server.Script("/lagvanesetup.exe", {c.reply});
    std::string failure;
    const Clock::time_point start = Clock::now();
    {
      const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      try {
        HttpGetFile(server.Address(), "/lagvanesetup.exe", file.get(), kManifestTimeouts, 4);
      } catch (const BodyLengthError&) {
        failure = "wrong";
      }
    }
    EXPECT_EQ(failure, c.error) << c.what;
    EXPECT_LT(Clock::now() - start, 10000ms) << c.what;
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.written) << c.what;
  }
  DeleteFileW(path.c_str());
}
