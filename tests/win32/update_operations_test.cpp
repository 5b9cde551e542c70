// The update's transfers and the start report against a loopback server, with real files.

#include "common/error.h"
#include "error_of.h"
#include "common/system_error.h"
#include "common/unique_handle.h"
#include "loopback_server.h"
#include "manifest_signer.h"
#include "update/update_operations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace std::chrono_literals;
using fakes::LoopbackServer;

namespace {

std::string FileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool OpenExclusively(const std::wstring& path) {
  const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.get() != INVALID_HANDLE_VALUE && file.get() != nullptr;
}

// A file in the temporary folder, removed when the test ends.
class TempFile {
public:
  explicit TempFile(const wchar_t* name) : path_(GetTempDirectory() + name) { DeleteFileW(path_.c_str()); }
  ~TempFile() { DeleteFileW(path_.c_str()); }
  const std::wstring& Path() const { return path_; }

private:
  std::wstring path_;
};

}  // namespace

TEST(CheckUpdateServer, IsTrueOnlyWhenTheManifestCanBeFetched) {
  LoopbackServer server;
  server.Script("/version.dat", {fakes::Ok("LAGVANE.exe=1.0.0.2"),
                                 fakes::Status("HTTP/1.1 404 Not Found"),
                                 {"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1/\r\n\r\n"},
                                 {""}});
  EXPECT_TRUE(CheckUpdateServer(server.Address()));
  EXPECT_FALSE(CheckUpdateServer(server.Address()));
  EXPECT_FALSE(CheckUpdateServer(server.Address()));
  EXPECT_FALSE(CheckUpdateServer(server.Address()));
  EXPECT_FALSE(CheckUpdateServer(fakes::RefusingAddress()));
  EXPECT_EQ(server.Requests().size(), 4u);
}

TEST(GetServerVersion, LooksTheKeyUpInTheManifestAsDecoded) {
  LoopbackServer server;
  server.Script("/version.dat",
                {fakes::Ok("Other=3\r\nLAGVANE.exe=1.0.0.2\r\n"),
                 fakes::Ok("Lagvane.exe=1.0.0.1\nLAGVANE.exe=1.0.0.2\n"),
                 fakes::Ok("Other.exe=1\r\n"),
                 fakes::Ok("이름=값\r\nLAGVANE.exe=1.0.0.2 \xEC\xB5\x9C\xEC\x8B\xA0\r\n", "text/plain; charset=utf-8"),
                 // Stored as UTF-16 but declared as nothing: not its text, so no entry.
                 fakes::Ok(std::string("L\0=\0""1\0", 6), "application/octet-stream")});
  EXPECT_EQ(GetServerVersion(L"LAGVANE.exe", server.Address()), L"1.0.0.2");
  EXPECT_EQ(GetServerVersion(L"LAGVANE.exe", server.Address()), L"1.0.0.1");
  EXPECT_EQ(GetServerVersion(L"LAGVANE.exe", server.Address()), L"");
  EXPECT_EQ(GetServerVersion(L"LAGVANE.exe", server.Address()), L"1.0.0.2 최신");
  EXPECT_EQ(GetServerVersion(L"L", server.Address()), L"");
}

TEST(GetServerVersion, TurnsEveryFailureIntoItsOwnMessage) {
  LoopbackServer server;
  server.Script("/version.dat", {fakes::Status("HTTP/1.1 500 Internal Server Error"), {""}});
  for (const ServerAddress& address : {server.Address(), server.Address(), fakes::RefusingAddress()}) {
    EXPECT_EQ(ErrorOf([&] { GetServerVersion(L"LAGVANE.exe", address); }), L"버전 정보를 받을 수가 없습니다.");
  }
}

TEST(DownloadFile, WritesTheBodyUnchangedIntoANewFileAndClosesIt) {
  LoopbackServer server;
  std::string body;
  for (int i = 0; i < 100000; ++i) body += static_cast<char>(i * 7 % 256);
  server.Script("/lagvanesetup.exe", {fakes::Ok(body, "application/octet-stream"), fakes::Ok("short")});
  TempFile target(L"lagvane-download-test.exe");
  EXPECT_TRUE(DownloadFile(server.Address(), "/lagvanesetup.exe", target.Path()));
  EXPECT_EQ(FileBytes(target.Path()), body);
  EXPECT_TRUE(OpenExclusively(target.Path())) << "the file is closed";
  // An existing file is replaced, not added to.
  EXPECT_TRUE(DownloadFile(server.Address(), "/lagvanesetup.exe", target.Path()));
  EXPECT_EQ(FileBytes(target.Path()), "short");
}

TEST(DownloadFile, AFailedStatusLeavesAnEmptyFileAndItsPageNeverReachesIt) {
  LoopbackServer server;
  server.Script("/lagvanesetup.exe",
                {{"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 22\r\n\r\n<html>not found</html>"},
                 {"HTTP/1.1 302 Found\r\nLocation: /other.exe\r\nContent-Length: 5\r\n\r\nmoved"}});
  TempFile target(L"lagvane-download-test.exe");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ErrorOf([&] { DownloadFile(server.Address(), "/lagvanesetup.exe", target.Path()); }),
              L"버전 정보를 불러올 수 없습니다.");
    EXPECT_EQ(GetFileAttributesW(target.Path().c_str()) != INVALID_FILE_ATTRIBUTES, true) << "the file stays";
    EXPECT_EQ(FileBytes(target.Path()), "");
    EXPECT_TRUE(OpenExclusively(target.Path())) << "the file is closed";
  }
}

TEST(DownloadFile, ABodyCutShortIsAFailureAndKeepsWhatArrived) {
  LoopbackServer server;
  server.Script("/lagvanesetup.exe", {{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nMZ partial"}});
  TempFile target(L"lagvane-download-test.exe");
  EXPECT_EQ(ErrorOf([&] { DownloadFile(server.Address(), "/lagvanesetup.exe", target.Path()); }),
            L"버전 정보를 불러올 수 없습니다.");
  EXPECT_EQ(FileBytes(target.Path()), "MZ partial");
  EXPECT_TRUE(OpenExclusively(target.Path()));
}

TEST(DownloadFile, ATargetThatCannotBeCreatedFailsWithItsFullPathBeforeAnyRequest) {
  LoopbackServer server;
  server.AnswerAlways("/lagvanesetup.exe", fakes::Ok("MZ"));
  TempFile target(L"lagvane-locked-test.exe");
  const UniqueHandle holder(CreateFileW(target.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);

  // A name relative to the current folder shows in the message as the full path.
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(GetTempDirectory().c_str()));
  const std::wstring failure =
      ErrorOf([&] { DownloadFile(server.Address(), "/lagvanesetup.exe", L"lagvane-locked-test.exe"); });
  SetCurrentDirectoryW(previous);

  EXPECT_EQ(failure, L"Cannot create file \"" + target.Path() + L"\". " + SystemMessage(ERROR_SHARING_VIOLATION));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(server.Connections(), 0u) << "no request is sent";
}

TEST(GetTempDirectory, GivesTheSystemsFolderOrNothingWhenItIsTooLong) {
  const std::wstring folder = GetTempDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), L'\\');
  EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);

  // The system takes the folder from TMP; past 260 characters it gives none.
  wchar_t saved[32768];
  const DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, 32768);
  SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(300, L'x')).c_str());
  const std::wstring tooLong = GetTempDirectory();
  SetEnvironmentVariableW(L"TMP", savedLength ? saved : nullptr);
  EXPECT_EQ(tooLong, L"");
  EXPECT_EQ(GetTempDirectory(), folder);
}

TEST(SendStartReport, AsksForTheReportPathAndPassesItsFailureOn) {
  LoopbackServer server;
  server.Script("/log_db_update.html?SECTION=R&COMPANY=A",
                {fakes::Ok("<html>ok</html>", "text/html"), fakes::Status("HTTP/1.1 503 Service Unavailable")});
  SendStartReport(server.Address());
  EXPECT_EQ(ErrorOf([&] { SendStartReport(server.Address()); }), L"HTTP/1.1 503 Service Unavailable");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[0].rfind("GET /log_db_update.html?SECTION=R&COMPANY=A HTTP/1.1\r\n", 0), 0u);
}

TEST(GetServerVersion, KeepsTheBodyAsReceivedBesideItsDecodedText) {
  LoopbackServer server;
  const std::string body = "LAGVANE.exe=1.0.0.2 \xEC\xB5\x9C\xEC\x8B\xA0\r\n";
  server.Script("/version.dat", {fakes::Ok(body, "text/plain; charset=utf-8")});
  std::string raw;
  EXPECT_EQ(GetServerVersion(L"LAGVANE.exe", server.Address(), &raw), L"1.0.0.2 최신");
  EXPECT_EQ(raw, body);
}

TEST(DownloadFile, OfASignedSizeDeletesAnAnswerOfAnotherLengthAndLeavesOtherFailuresAsTheyWere) {
  LoopbackServer server;
  const struct {
    const char* what;
    fakes::Reply reply;
    bool fileStays;
    std::string content;
  } cases[] = {
      {"as signed", fakes::Ok("MZ12"), true, "MZ12"},
      {"announcing another length", fakes::Ok("MZ123"), false, ""},
      {"longer than signed", {"HTTP/1.1 200 OK\r\n\r\nMZ123"}, false, ""},
      {"a 404 announcing an enormous length",
       {"HTTP/1.1 404 Not Found\r\nContent-Length: 99999999999999\r\n\r\n" + std::string(100000, 'x')}, true, ""},
  };
  TempFile target(L"lagvane-download-test.exe");
  for (const auto& c : cases) {
    server.Script("/lagvanesetup.exe", {c.reply});
    const std::wstring error = ErrorOf([&] { DownloadFile(server.Address(), "/lagvanesetup.exe", target.Path(), 4); });
    EXPECT_EQ(error, c.content.empty() ? L"버전 정보를 불러올 수 없습니다." : L"(no error)") << c.what;
    EXPECT_EQ(GetFileAttributesW(target.Path().c_str()) != INVALID_FILE_ATTRIBUTES, c.fileStays) << c.what;
    if (c.fileStays) {
      EXPECT_EQ(FileBytes(target.Path()), c.content) << c.what;
    }
  }
}

TEST(HoldVerifiedFile, HoldsAFileThatMatchesAgainstEveryWriterAndDeletesOneThatDoesNot) {
  TempFile target(L"lagvane-held-test.exe");
  const std::string installer = "MZ the installer";
  const auto write = [&](const std::string& bytes) {
    std::ofstream(std::filesystem::path(target.Path()), std::ios::binary) << bytes;
  };
  const std::string hex = fakes::Sha256Hex(installer);
  const Sha256Digest sha256 = *ParseSha256(std::wstring(hex.begin(), hex.end()));

  write(installer);
  {
    const UniqueHandle held = HoldVerifiedFile(target.Path(), installer.size(), sha256);
    const UniqueHandle writer(CreateFileW(target.Path().c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          0, nullptr));
    EXPECT_EQ(writer.get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(target.Path().c_str()));
    const std::wstring other = target.Path() + L".other";
    std::ofstream(std::filesystem::path(other), std::ios::binary) << "MZ another";
    EXPECT_FALSE(MoveFileExW(other.c_str(), target.Path().c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(MoveFileExW(target.Path().c_str(), other.c_str(), MOVEFILE_REPLACE_EXISTING));
    DeleteFileW(other.c_str());
    // As the loader opens a program to start it.
    const UniqueHandle reader(CreateFileW(target.Path().c_str(), GENERIC_READ | GENERIC_EXECUTE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_NE(reader.get(), INVALID_HANDLE_VALUE);
  }
  EXPECT_EQ(FileBytes(target.Path()), installer);

  const struct {
    const char* what;
    std::string bytes;
  } wrong[] = {
      {"one byte changed", "MZ the installes"},
      {"one byte more", installer + "!"},
      {"one byte less", installer.substr(1)},
  };
  for (const auto& c : wrong) {
    write(c.bytes);
    EXPECT_EQ(ErrorOf([&] { HoldVerifiedFile(target.Path(), installer.size(), sha256); }),
              L"버전 정보를 불러올 수 없습니다.")
        << c.what;
    EXPECT_EQ(GetFileAttributesW(target.Path().c_str()), INVALID_FILE_ATTRIBUTES) << c.what << ": deleted";
  }
  // Held for writing elsewhere: it cannot be held against writers, so it is not taken.
  write(installer);
  {
    const UniqueHandle writer(CreateFileW(target.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(writer.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf([&] { HoldVerifiedFile(target.Path(), installer.size(), sha256); }),
              L"버전 정보를 불러올 수 없습니다.");
  }
}

TEST(UpdateTransfers, TakeATextBodyOfUpTo64KiBAndRefuseALongerOne) {
  LoopbackServer server;
  const std::string fits = "LAGVANE.exe=1.0.0.2\r\n" + std::string(64 * 1024 - 21, 'x');
  for (const char* path : {"/version.dat", "/log_db_update.html?SECTION=R&COMPANY=A"}) {
    server.Script(path, {fakes::Ok(fits), fakes::Ok(fits + "x"), fakes::Ok(fits), fakes::Ok(fits + "x")});
  }
  EXPECT_TRUE(CheckUpdateServer(server.Address()));
  EXPECT_FALSE(CheckUpdateServer(server.Address()));
  EXPECT_EQ(GetServerVersion(L"LAGVANE.exe", server.Address()), L"1.0.0.2");
  EXPECT_EQ(ErrorOf([&] { GetServerVersion(L"LAGVANE.exe", server.Address()); }), L"버전 정보를 받을 수가 없습니다.");
  EXPECT_EQ(ErrorOf([&] { SendStartReport(server.Address()); }), L"(no error)");
  EXPECT_EQ(ErrorOf([&] { SendStartReport(server.Address()); }), L"The server's answer is too long.");
  EXPECT_EQ(ErrorOf([&] { SendStartReport(server.Address()); }), L"(no error)");
  EXPECT_EQ(ErrorOf([&] { SendStartReport(server.Address()); }), L"The server's answer is too long.");
}
