#pragma once

// Every end-to-end test runs against the maker's server of this build: a loopback server on the
// address the program was built with. By default the installed version and the server's version
// are the same, so no update is offered, and the start report is answered.

#include "loopback_server.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace e2e {

// The address LAGVANE.exe was built to ask.
ServerAddress BuiltServerAddress();

inline constexpr char kStartReportPath[] = "/log_db_update.html?SECTION=R&COMPANY=A";
inline constexpr wchar_t kLagvaneKey[] = L"SOFTWARE\\LAGVANE";
inline constexpr wchar_t kInstalledVersionName[] = L"LAGVANE.exe";

// The request the program sends for a path, byte for byte.
std::string RequestFor(const std::string& pathAndQuery);

class WithMakerServer : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  fakes::LoopbackServer& Server() { return *server_; }
  // Takes the server down: every connection is refused from then on.
  void StopServer() { server_.reset(); }
  void SetInstalledVersion(const std::wstring& version);

private:
  std::optional<fakes::LoopbackServer> server_;
};

}  // namespace e2e
