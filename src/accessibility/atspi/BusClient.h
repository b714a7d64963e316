#pragma once
// Plain calls on the accessibility bus connection, on the worker thread only. The tree read sends
// thousands of small calls; libatspi waits for each answer before sending the next, so a page
// costs one round trip per call. Here many calls are in flight at once (pipelined), and every
// wait is bounded.
#include <dbus/dbus.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"

namespace lectryn::accessibility::atspi {

// An object on the bus: the owning program's unique bus name and the object's path.
struct BusObject {
  std::string name;
  std::string path;
  bool operator==(const BusObject&) const = default;
  bool operator<(const BusObject& other) const {
    return name != other.name ? name < other.name : path < other.path;
  }
  bool IsNull() const { return name.empty() || path == "/org/a11y/atspi/null"; }
};

// One owned reply (or error, or nothing when the program did not answer).
class Reply {
 public:
  Reply() = default;
  explicit Reply(DBusMessage* message) : message_(message) {}
  Reply(Reply&& other) noexcept : message_(other.message_) { other.message_ = nullptr; }
  Reply& operator=(Reply&& other) noexcept;
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  ~Reply();

  bool Ok() const;
  // The error's name, or "no reply".
  std::string ErrorName() const;
  bool TimedOut() const;

  // Readers of the first argument; they return the fallback when the reply has another shape.
  uint32_t Uint32(uint32_t fallback = 0) const;
  int32_t Int32(int32_t fallback = -1) const;
  std::vector<int32_t> Int32s() const;  // every argument that is an int32, in order
  bool Bool(bool fallback = false) const;
  std::string String() const;
  BusObject Object() const;                               // (so)
  std::vector<BusObject> Objects() const;                 // a(so)
  uint64_t States() const;                                // au: bit n for state n
  AxExtents Extents() const;                              // (iiii)
  std::map<std::string, std::string> Attributes() const;  // a{ss}
  std::string VariantString() const;                      // v holding s (a property)
  BusObject VariantObject() const;                        // v holding (so)
  int32_t VariantInt32(int32_t fallback = -1) const;      // v holding i

 private:
  DBusMessage* message_ = nullptr;
};

using ArgWriter = std::function<void(DBusMessageIter&)>;

// One bound shared by a task's calls and waits: each gets what is left of it, so a task of many
// calls costs at most the bound in all.
class Deadline {
 public:
  explicit Deadline(int32_t ms) : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
  // What is left, at least 1 ms; throws platform::Failure once nothing is.
  int32_t LeftMs() const;
  // Sleeps ms, or what is left when that is less.
  void Sleep(int32_t ms) const;

 private:
  std::chrono::steady_clock::time_point end_;
};

struct Request {
  BusObject object;
  const char* interface = nullptr;
  const char* method = nullptr;
  ArgWriter args;  // may be empty
};

class BusClient {
 public:
  // inFlight bounds the calls of one batch sent before the first answer is awaited.
  explicit BusClient(DBusConnection* connection, size_t inFlight = kInFlight)
      : connection_(connection), inFlight_(inFlight), unanswered_(std::make_shared<Unanswered>()) {}

  // One call; throws platform::Failure when the program did not answer within timeoutMs or the
  // bus is gone. Error replies are returned (the object may lack the interface).
  Reply Call(const Request& request, int32_t timeoutMs) const;
  // Many calls, at most inFlight at once, replies in request order. The first call that is not
  // answered within timeoutMs ends the batch with platform::Failure. A program that did not
  // answer is not called again (the batch fails at once) until it answers a ping.
  std::vector<Reply> CallAll(const std::vector<Request>& requests, int32_t timeoutMs) const;

  static constexpr size_t kInFlight = 1024;

 private:
  // Programs that did not answer, each with a ping waiting for its next answer.
  struct Unanswered {
    Unanswered() = default;
    Unanswered(const Unanswered&) = delete;
    Unanswered& operator=(const Unanswered&) = delete;
    ~Unanswered();
    std::map<std::string, DBusPendingCall*> pings;
  };

  DBusMessage* Build(const Request& request) const;
  void ThrowIfUnanswered(const std::vector<Request>& requests) const;
  void Ping(const std::string& name) const;

  DBusConnection* connection_;
  size_t inFlight_;
  std::shared_ptr<Unanswered> unanswered_;  // copies of a client share it
};

// Argument writers: each value appended in order.
void AppendInt32(DBusMessageIter& iter, int32_t value);
void AppendUint32(DBusMessageIter& iter, uint32_t value);
void AppendString(DBusMessageIter& iter, const std::string& value);
ArgWriter Ints(std::vector<int32_t> values);
ArgWriter Strings(std::vector<std::string> values);
// Collection.GetMatches' arguments: objects in every one of states and, unless roles is empty, in
// one of roles; in tree order, at most count of them (0: all), looked for through the whole subtree.
ArgWriter MatchRule(std::vector<uint32_t> states, std::vector<uint32_t> roles, int32_t count);

}  // namespace lectryn::accessibility::atspi
