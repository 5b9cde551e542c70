#include "update/http_request.h"

#include <gtest/gtest.h>

TEST(BuildRequest, WritesTheRequestLineAndTheFourHeadersInOrderAndNothingElse) {
  EXPECT_EQ(BuildRequest({"www.lagvane.co.kr", 80}, "/log_db_update.html?SECTION=R&COMPANY=A"),
            "GET /log_db_update.html?SECTION=R&COMPANY=A HTTP/1.1\r\n"
            "Host: www.lagvane.co.kr\r\n"
            "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
            "Accept-Encoding: identity\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
            "\r\n");
}

TEST(BuildRequest, NamesThePortInHostOnlyWhenItIsNot80) {
  const std::string request = BuildRequest({"127.0.0.1", 28080}, "/version.dat");
  EXPECT_EQ(request.substr(0, request.find("Accept:")),
            "GET /version.dat HTTP/1.1\r\nHost: 127.0.0.1:28080\r\n");
}

TEST(ParseServerAddress, TakesAHostAndAnOptionalPort) {
  const struct {
    std::string_view text;
    std::optional<ServerAddress> address;
  } cases[] = {
      {"www.lagvane.co.kr", ServerAddress{"www.lagvane.co.kr", 80}},
      {"127.0.0.1:28080", ServerAddress{"127.0.0.1", 28080}},
      {"localhost:1", ServerAddress{"localhost", 1}},
      {"host:65535", ServerAddress{"host", 65535}},
      {"", std::nullopt},
      {":80", std::nullopt},
      {"host:", std::nullopt},
      {"host:0", std::nullopt},
      {"host:65536", std::nullopt},
      {"host:8O", std::nullopt},
      {"host:80:81", std::nullopt},
      {"two words", std::nullopt},
      {"host/path", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseServerAddress(c.text), c.address) << c.text;
  }
}
