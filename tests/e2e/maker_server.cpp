#include "maker_server.h"

#include "driver.h"
#include "update/http_request.h"

namespace e2e {

ServerAddress BuiltServerAddress() {
  const std::optional<ServerAddress> address = ParseServerAddress(LAGVANE_SERVER_ADDRESS);
  if (!address || address->host != "127.0.0.1") {
    throw std::runtime_error("the end-to-end tests need a build whose LAGVANE_SERVER is on loopback");
  }
  return *address;
}

std::string RequestFor(const std::string& pathAndQuery) { return BuildRequest(BuiltServerAddress(), pathAndQuery); }

void WithMakerServer::SetUp() {
  SetInstalledVersion(L"1.0.0.0");
  server_.emplace(BuiltServerAddress().port);
  server_->AnswerAlways("/version.dat", fakes::Ok("LAGVANE.exe=1.0.0.0\r\n"));
  server_->AnswerAlways(kStartReportPath, fakes::Ok("<html><body>OK</body></html>", "text/html"));
}

void WithMakerServer::TearDown() {
  server_.reset();
  driver::reg::DeleteValue(HKEY_CURRENT_USER, kLagvaneKey, kInstalledVersionName);
}

void WithMakerServer::SetInstalledVersion(const std::wstring& version) {
  driver::reg::WriteString(HKEY_CURRENT_USER, kLagvaneKey, kInstalledVersionName, version);
}

}  // namespace e2e
