#pragma once

// The maker's server as the tests play it: listens on 127.0.0.1, answers each request for a path
// with the next scripted reply, and records every request byte for byte. It runs on threads of
// the test process, one per connection, so a silent or slow reply never holds the others.

#include "common/unique_handle.h"
#include "update/http_request.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fakes {

using Millis = std::chrono::milliseconds;

struct Reply {
  Reply(std::string bytes = {}, Millis delayBeforeSending = Millis(0), Millis holdBeforeClosing = Millis(0))
      : bytes(std::move(bytes)), delayBeforeSending(delayBeforeSending), holdBeforeClosing(holdBeforeClosing) {}

  // Sent once the request's blank line has arrived.
  std::string bytes;
  Millis delayBeforeSending;
  // After the bytes, before the close: a silent server holds the connection here.
  Millis holdBeforeClosing;
  // More bytes, each sent after its pause: an answer that arrives slowly.
  std::vector<std::pair<Millis, std::string>> later;
};

// "HTTP/1.1 200 OK" with Content-Length, an optional Content-Type, and the body.
Reply Ok(std::string body, std::string contentType = "text/plain");
// A status line of its own and an empty body with Content-Length 0.
Reply Status(std::string statusLine);

class LoopbackServer {
public:
  // Port 0 takes a free port. Fails the test program (throws) when the port is taken.
  explicit LoopbackServer(std::uint16_t port = 0);
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  ~LoopbackServer();

  ServerAddress Address() const { return {"127.0.0.1", port_}; }

  // The replies for a path ("/version.dat", or the path with its query), used in order; after the
  // last one the path's lasting reply answers, or a 404 when it has none.
  void Script(const std::string& path, std::vector<Reply> replies);
  void AnswerAlways(const std::string& path, Reply reply);

  // Every request so far, in the order they arrived, byte for byte as received.
  std::vector<std::string> Requests() const;
  bool WaitForRequests(std::size_t count, Millis timeout) const;
  // How many connections have been accepted.
  std::size_t Connections() const { return connections_; }

private:
  void AcceptLoop();
  void Serve(UniqueSocket connection);
  Reply NextReply(const std::string& request);
  bool SleepUnlessStopping(Millis time) const;

  std::uint16_t port_ = 0;
  UniqueSocket listener_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::size_t> connections_{0};
  mutable std::mutex mutex_;
  std::map<std::string, std::deque<Reply>> scripted_;
  std::map<std::string, Reply> lasting_;
  std::vector<std::string> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// A listening port whose queue of unaccepted connections is full, so that a further connect is
// neither accepted nor refused: it waits.
class UnacceptingListener {
public:
  UnacceptingListener();
  ServerAddress Address() const { return {"127.0.0.1", port_}; }

private:
  std::uint16_t port_ = 0;
  UniqueSocket listener_;
  std::vector<UniqueSocket> fillers_;
};

// A port on which nothing listens: every connect is refused.
ServerAddress RefusingAddress();

}  // namespace fakes
