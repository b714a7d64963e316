#include "engine/load/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace lectryn::engine::testing {
namespace {

constexpr int kPollMs = 20;

std::string Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

void SendAll(int connection, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t count = send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) return;  // the client gave up, as the size and time limits make it do
    sent += static_cast<size_t>(count);
  }
}

}  // namespace

LoopbackServer::LoopbackServer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("loopback server: no socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0) {
    close(listener_);
    throw std::runtime_error("loopback server: cannot listen on 127.0.0.1");
  }
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_.store(true);
  acceptor_.join();
  for (auto& connection : connections_) connection.join();
  close(listener_);
}

void LoopbackServer::Serve(const std::string& path, Response response) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(response);
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackServer::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackServer::AcceptLoop() {
  while (!stopping_.load()) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, kPollMs) <= 0) continue;
    int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    std::lock_guard lock(mutex_);
    connections_.emplace_back([this, connection] {
      Answer(connection);
      close(connection);
    });
  }
}

void LoopbackServer::Answer(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd waiting{connection, POLLIN, 0};
    if (stopping_.load()) return;
    if (poll(&waiting, 1, kPollMs) <= 0) continue;
    ssize_t count = recv(connection, buffer, sizeof buffer, 0);
    if (count <= 0) return;
    request.append(buffer, static_cast<size_t>(count));
  }
  size_t firstSpace = request.find(' ');
  size_t secondSpace = request.find(' ', firstSpace + 1);
  if (firstSpace == std::string::npos || secondSpace == std::string::npos) return;
  std::string path = request.substr(firstSpace + 1, secondSpace - firstSpace - 1);

  Response response;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(path);
    auto found = routes_.find(path);
    if (found != routes_.end()) {
      response = found->second;
    } else {
      response.status = 404;
      response.body = "<p>not here</p>";
    }
  }
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(response.delayMs);
  while (std::chrono::steady_clock::now() < until) {
    if (stopping_.load()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::string head = "HTTP/1.0 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  if (response.sendContentLength) head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (response.trickleMs == 0) {
    SendAll(connection, head + response.body);
    return;
  }
  SendAll(connection, head);
  for (char byte : response.body) {
    if (stopping_.load() || send(connection, &byte, 1, MSG_NOSIGNAL) != 1) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(response.trickleMs));
  }
}

}  // namespace lectryn::engine::testing
