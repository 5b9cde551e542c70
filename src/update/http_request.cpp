#include "update/http_request.h"

namespace {

constexpr std::string_view kAccept = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
constexpr std::string_view kAcceptEncoding = "identity";
constexpr std::string_view kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

}  // namespace

std::optional<ServerAddress> ParseServerAddress(std::string_view text) {
  ServerAddress server;
  const std::size_t colon = text.find(':');
  std::string_view host = text.substr(0, colon);
  if (colon != std::string_view::npos) {
    const std::string_view port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    server.port = static_cast<std::uint16_t>(value);
  }
  if (host.empty()) return std::nullopt;
  for (char c : host) {
    if (!IsHostCharacter(c)) return std::nullopt;
  }
  server.host = host;
  return server;
}

std::string BuildRequest(const ServerAddress& server, std::string_view pathAndQuery) {
  std::string host = server.host;
  if (server.port != 80) host += ":" + std::to_string(server.port);
  std::string request;
  request.reserve(256);
  request.append("GET ").append(pathAndQuery).append(" HTTP/1.1\r\n");
  request.append("Host: ").append(host).append("\r\n");
  request.append("Accept: ").append(kAccept).append("\r\n");
  request.append("Accept-Encoding: ").append(kAcceptEncoding).append("\r\n");
  request.append("User-Agent: ").append(kUserAgent).append("\r\n");
  request.append("\r\n");
  return request;
}
