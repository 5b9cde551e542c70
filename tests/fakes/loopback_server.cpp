#include "loopback_server.h"

#include <ws2tcpip.h>

#include <stdexcept>

namespace fakes {

namespace {

// Winsock for the test process as long as it runs.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("Winsock does not start");
}

std::runtime_error SocketFailure(const char* what) {
  return std::runtime_error(std::string(what) + " (Winsock error " + std::to_string(WSAGetLastError()) + ")");
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// A socket bound to 127.0.0.1 and listening; its port as bound.
UniqueSocket Listen(std::uint16_t port, int backlog, std::uint16_t& boundPort) {
  StartWinsock();
  UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listener) throw SocketFailure("socket");
  // Exclusive, so that a second server on the same port fails loudly instead of sharing it.
  BOOL exclusive = TRUE;
  setsockopt(listener.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof(exclusive));
  sockaddr_in address = Loopback(port);
  if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR) {
    throw SocketFailure(("bind to 127.0.0.1:" + std::to_string(port)).c_str());
  }
  if (listen(listener.get(), backlog) == SOCKET_ERROR) throw SocketFailure("listen");
  int length = sizeof(address);
  getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
  boundPort = ntohs(address.sin_port);
  return listener;
}

bool WaitReadable(SOCKET socket, Millis timeout) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket, &readable);
  timeval wait{static_cast<long>(timeout.count() / 1000), static_cast<long>(timeout.count() % 1000 * 1000)};
  return select(0, &readable, nullptr, nullptr, &wait) > 0;
}

bool SendAll(SOCKET socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const int sent = send(socket, bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::string PathOf(const std::string& request) {
  const std::size_t start = request.find(' ');
  if (start == std::string::npos) return {};
  const std::size_t end = request.find(' ', start + 1);
  return request.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

}  // namespace

Reply Ok(std::string body, std::string contentType) {
  std::string head = "HTTP/1.1 200 OK\r\n";
  if (!contentType.empty()) head += "Content-Type: " + contentType + "\r\n";
  head += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  return {head + body};
}

Reply Status(std::string statusLine) { return {statusLine + "\r\nContent-Length: 0\r\n\r\n"}; }

LoopbackServer::LoopbackServer(std::uint16_t port) : listener_(Listen(port, SOMAXCONN, port_)) {
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  acceptor_.join();
  // The acceptor has ended, so the list of workers no longer grows.
  for (std::thread& worker : workers_) worker.join();
}

void LoopbackServer::Script(const std::string& path, std::vector<Reply> replies) {
  std::lock_guard lock(mutex_);
  auto& queue = scripted_[path];
  for (Reply& reply : replies) queue.push_back(std::move(reply));
}

void LoopbackServer::AnswerAlways(const std::string& path, Reply reply) {
  std::lock_guard lock(mutex_);
  lasting_[path] = std::move(reply);
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool LoopbackServer::WaitForRequests(std::size_t count, Millis timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Requests().size() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(10));
  }
  return true;
}

void LoopbackServer::AcceptLoop() {
  while (!stopping_) {
    // A short wait, so that the destructor's stop is seen soon.
    if (!WaitReadable(listener_.get(), Millis(20))) continue;
    UniqueSocket connection(accept(listener_.get(), nullptr, nullptr));
    if (!connection) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, socket = std::move(connection)]() mutable { Serve(std::move(socket)); });
  }
}

bool LoopbackServer::SleepUnlessStopping(Millis time) const {
  const auto deadline = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < deadline) {
    if (stopping_) return false;
    std::this_thread::sleep_for(Millis(5));
  }
  return true;
}

void LoopbackServer::Serve(UniqueSocket connection) {
  // The request as it comes, up to its blank line (a GET has no body), the close or a pause.
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 64 * 1024 && !stopping_) {
    if (!WaitReadable(connection.get(), Millis(100))) continue;
    const int received = recv(connection.get(), buffer, sizeof(buffer), 0);
    if (received <= 0) break;
    request.append(buffer, static_cast<std::size_t>(received));
  }
  if (request.empty()) return;
  const Reply reply = NextReply(request);
  if (!SleepUnlessStopping(reply.delayBeforeSending)) return;
  if (!SendAll(connection.get(), reply.bytes)) return;
  for (const auto& [pause, bytes] : reply.later) {
    if (!SleepUnlessStopping(pause) || !SendAll(connection.get(), bytes)) return;
  }
  SleepUnlessStopping(reply.holdBeforeClosing);
  // An orderly close after everything sent has gone.
  shutdown(connection.get(), SD_SEND);
}

Reply LoopbackServer::NextReply(const std::string& request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
  const std::string path = PathOf(request);
  if (auto scripted = scripted_.find(path); scripted != scripted_.end() && !scripted->second.empty()) {
    Reply reply = std::move(scripted->second.front());
    scripted->second.pop_front();
    return reply;
  }
  if (auto lasting = lasting_.find(path); lasting != lasting_.end()) return lasting->second;
  return Status("HTTP/1.1 404 Not Found");
}

UnacceptingListener::UnacceptingListener() : listener_(Listen(0, 0, port_)) {
  // Connections nobody accepts, until one is left waiting: the queue is full from then on.
  for (int i = 0; i < 64; ++i) {
    UniqueSocket filler(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    u_long nonBlocking = 1;
    ioctlsocket(filler.get(), FIONBIO, &nonBlocking);
    const sockaddr_in address = Loopback(port_);
    connect(filler.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(filler.get(), &writable);
    timeval wait{0, 300 * 1000};
    const bool connected = select(0, nullptr, &writable, nullptr, &wait) > 0;
    fillers_.push_back(std::move(filler));
    if (!connected) return;
  }
  throw std::runtime_error("the listener's queue never filled");
}

ServerAddress RefusingAddress() {
  // A port that was free a moment ago, bound and released: nothing listens there now.
  std::uint16_t port = 0;
  Listen(0, 1, port);
  return {"127.0.0.1", port};
}

}  // namespace fakes
