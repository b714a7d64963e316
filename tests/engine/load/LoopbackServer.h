#pragma once
// A small HTTP/1.0 server on 127.0.0.1 (an ephemeral port) for the loading tests: it answers
// registered paths with fixed responses, from one thread per connection, until it is destroyed.
#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lectryn::engine::testing {

struct Response {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  int delayMs = 0;                // before anything is sent
  bool sendContentLength = true;  // without it the body ends when the connection closes
  int trickleMs = 0;              // when set, the body goes one byte at a time with this pause between
};

class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void Serve(const std::string& path, Response response);
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;
  uint16_t Port() const { return port_; }
  // Paths requested so far, in order.
  std::vector<std::string> Requests();

 private:
  void AcceptLoop();
  void Answer(int connection);

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::map<std::string, Response> routes_;
  std::vector<std::string> requests_;
  std::list<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace lectryn::engine::testing
