#pragma once
// A web server on 127.0.0.1 for the windows' tests: it answers every request with one page, or,
// when silent, takes the request and never answers. Only loopback; every wait in it is bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lectryn::testing {

class LocalHttpServer {
 public:
  LocalHttpServer() : listenFd_(OpenLoopback(&port_)) {
    if (listen(listenFd_, 8) != 0) std::abort();
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    stop_ = true;
    thread_.join();
    for (int fd : held_) close(fd);
    close(listenFd_);
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "127.0.0.1:port", as a host name of a web address.
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  void SetPage(std::string html) {
    std::lock_guard lock(mutex_);
    html_ = std::move(html);
  }
  void SetSilent(bool silent) { silent_ = silent; }
  int Requests() const { return requests_; }

  // A loopback host where nothing listens: connections are refused at once.
  static std::string UnusedHost() {
    int port = 0;
    int fd = OpenLoopback(&port);
    close(fd);
    return "127.0.0.1:" + std::to_string(port);
  }

 private:
  static int OpenLoopback(int* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    *port = ntohs(address.sin_port);
    return fd;
  }

  void Serve() {
    while (!stop_) {
      pollfd listening{listenFd_, POLLIN, 0};
      if (poll(&listening, 1, 20) <= 0) continue;
      int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      if (!ReadRequest(fd)) {
        close(fd);
        continue;
      }
      ++requests_;
      if (silent_) {
        held_.push_back(fd);  // open until the server ends: the client waits in vain
        continue;
      }
      std::string html;
      {
        std::lock_guard lock(mutex_);
        html = html_;
      }
      std::string response =
          "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(html.size()) +
          "\r\nConnection: close\r\n\r\n" + html;
      send(fd, response.data(), response.size(), MSG_NOSIGNAL);
      close(fd);
    }
  }

  // Reads up to the blank line that ends the request's head; gives up after two seconds.
  bool ReadRequest(int fd) {
    std::string request;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      if (stop_ || std::chrono::steady_clock::now() > deadline) return false;
      pollfd reading{fd, POLLIN, 0};
      if (poll(&reading, 1, 20) <= 0) continue;
      ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) return false;
      request.append(buffer, static_cast<size_t>(got));
    }
    return true;
  }

  int port_ = 0;
  int listenFd_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> silent_{false};
  std::atomic<int> requests_{0};
  std::mutex mutex_;
  std::string html_;
  std::vector<int> held_;  // server thread only, then the destructor
};

}  // namespace lectryn::testing
