#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where an HTTP transfer goes: a host name or IPv4 address and a TCP port.
struct ServerAddress {
  std::string host;
  std::uint16_t port = 80;

  bool operator==(const ServerAddress&) const = default;
};

// "host" (port 80) or "host:port". Empty when the text names no usable server.
std::optional<ServerAddress> ParseServerAddress(std::string_view text);

// The complete request of a transfer: "GET", the path and query as given, HTTP/1.1, and the four
// headers Host, Accept, Accept-Encoding and User-Agent in that order. Host carries the port only
// when it is not 80, so the default wire names the bare host.
std::string BuildRequest(const ServerAddress& server, std::string_view pathAndQuery);
