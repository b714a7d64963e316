#include "accessibility/atspi/BusClient.h"

#include <atspi/atspi-constants.h>

#include <algorithm>
#include <deque>
#include <thread>
#include <utility>

#include "platform/Failure.h"

namespace lectryn::accessibility::atspi {
namespace {

// Opens the reply's first argument; false for errors, missing replies and other shapes.
bool First(DBusMessage* message, int type, DBusMessageIter& iter) {
  if (message == nullptr || dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_RETURN) {
    return false;
  }
  return dbus_message_iter_init(message, &iter) && dbus_message_iter_get_arg_type(&iter) == type;
}

std::string ReadString(DBusMessageIter& iter) {
  if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRING &&
      dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_OBJECT_PATH) {
    return {};
  }
  const char* value = nullptr;
  dbus_message_iter_get_basic(&iter, &value);
  return value != nullptr ? value : "";
}

BusObject ReadObject(DBusMessageIter& iter) {
  if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT) return {};
  DBusMessageIter fields;
  dbus_message_iter_recurse(&iter, &fields);
  BusObject object;
  object.name = ReadString(fields);
  dbus_message_iter_next(&fields);
  object.path = ReadString(fields);
  return object;
}

int32_t ReadInt32(DBusMessageIter& iter, int32_t fallback) {
  if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_INT32) return fallback;
  dbus_int32_t value = 0;
  dbus_message_iter_get_basic(&iter, &value);
  return value;
}

bool Variant(DBusMessage* message, DBusMessageIter& inner) {
  DBusMessageIter iter;
  if (!First(message, DBUS_TYPE_VARIANT, iter)) return false;
  dbus_message_iter_recurse(&iter, &inner);
  return true;
}

}  // namespace

Reply& Reply::operator=(Reply&& other) noexcept {
  std::swap(message_, other.message_);
  return *this;
}

Reply::~Reply() {
  if (message_ != nullptr) dbus_message_unref(message_);
}

bool Reply::Ok() const {
  return message_ != nullptr && dbus_message_get_type(message_) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}

std::string Reply::ErrorName() const {
  if (message_ == nullptr) return "no reply";
  const char* name = dbus_message_get_error_name(message_);
  return name != nullptr ? name : "";
}

bool Reply::TimedOut() const {
  return message_ == nullptr || ErrorName() == DBUS_ERROR_NO_REPLY || ErrorName() == DBUS_ERROR_TIMEOUT;
}

uint32_t Reply::Uint32(uint32_t fallback) const {
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_UINT32, iter)) return fallback;
  dbus_uint32_t value = 0;
  dbus_message_iter_get_basic(&iter, &value);
  return value;
}

int32_t Reply::Int32(int32_t fallback) const {
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_INT32, iter)) return fallback;
  return ReadInt32(iter, fallback);
}

std::vector<int32_t> Reply::Int32s() const {
  std::vector<int32_t> values;
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_INT32, iter)) return values;
  do {
    if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_INT32) values.push_back(ReadInt32(iter, 0));
  } while (dbus_message_iter_next(&iter));
  return values;
}

bool Reply::Bool(bool fallback) const {
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_BOOLEAN, iter)) return fallback;
  dbus_bool_t value = FALSE;
  dbus_message_iter_get_basic(&iter, &value);
  return value != FALSE;
}

std::string Reply::String() const {
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_STRING, iter)) return {};
  return ReadString(iter);
}

BusObject Reply::Object() const {
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_STRUCT, iter)) return {};
  return ReadObject(iter);
}

std::vector<BusObject> Reply::Objects() const {
  std::vector<BusObject> objects;
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_ARRAY, iter)) return objects;
  DBusMessageIter items;
  dbus_message_iter_recurse(&iter, &items);
  while (dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRUCT) {
    objects.push_back(ReadObject(items));
    dbus_message_iter_next(&items);
  }
  return objects;
}

uint64_t Reply::States() const {
  uint64_t states = 0;
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_ARRAY, iter)) return states;
  DBusMessageIter words;
  dbus_message_iter_recurse(&iter, &words);
  for (int word = 0; word < 2 && dbus_message_iter_get_arg_type(&words) == DBUS_TYPE_UINT32; ++word) {
    dbus_uint32_t bits = 0;
    dbus_message_iter_get_basic(&words, &bits);
    states |= static_cast<uint64_t>(bits) << (32 * word);
    dbus_message_iter_next(&words);
  }
  return states;
}

AxExtents Reply::Extents() const {
  AxExtents extents;
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_STRUCT, iter)) return extents;
  DBusMessageIter fields;
  dbus_message_iter_recurse(&iter, &fields);
  int32_t* targets[] = {&extents.x, &extents.y, &extents.width, &extents.height};
  for (int32_t* target : targets) {
    *target = ReadInt32(fields, 0);
    dbus_message_iter_next(&fields);
  }
  return extents;
}

std::map<std::string, std::string> Reply::Attributes() const {
  std::map<std::string, std::string> attributes;
  DBusMessageIter iter;
  if (!First(message_, DBUS_TYPE_ARRAY, iter)) return attributes;
  DBusMessageIter entries;
  dbus_message_iter_recurse(&iter, &entries);
  while (dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
    DBusMessageIter entry;
    dbus_message_iter_recurse(&entries, &entry);
    std::string key = ReadString(entry);
    dbus_message_iter_next(&entry);
    attributes[key] = ReadString(entry);
    dbus_message_iter_next(&entries);
  }
  return attributes;
}

std::string Reply::VariantString() const {
  DBusMessageIter inner;
  return Variant(message_, inner) ? ReadString(inner) : std::string();
}

BusObject Reply::VariantObject() const {
  DBusMessageIter inner;
  return Variant(message_, inner) ? ReadObject(inner) : BusObject{};
}

int32_t Reply::VariantInt32(int32_t fallback) const {
  DBusMessageIter inner;
  return Variant(message_, inner) ? ReadInt32(inner, fallback) : fallback;
}

int32_t Deadline::LeftMs() const {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now()).count();
  if (left <= 0) throw platform::Failure("the accessible program did not answer in time");
  return static_cast<int32_t>(left);
}

void Deadline::Sleep(int32_t ms) const {
  std::this_thread::sleep_until(std::min(end_, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)));
}

DBusMessage* BusClient::Build(const Request& request) const {
  DBusMessage* message = dbus_message_new_method_call(
      request.object.name.c_str(), request.object.path.c_str(), request.interface, request.method);
  if (message == nullptr) throw platform::Failure("cannot build an accessibility bus call");
  if (request.args) {
    DBusMessageIter iter;
    dbus_message_iter_init_append(message, &iter);
    request.args(iter);
  }
  // No auto-start: a program that left the bus must not be started again by our call.
  dbus_message_set_auto_start(message, FALSE);
  return message;
}

Reply BusClient::Call(const Request& request, int32_t timeoutMs) const {
  std::vector<Request> one{request};
  return std::move(CallAll(one, timeoutMs).front());
}

BusClient::Unanswered::~Unanswered() {
  for (auto& [name, pending] : pings) {
    dbus_pending_call_cancel(pending);
    dbus_pending_call_unref(pending);
  }
}

// A stopped program would cost every call the whole time-out; until it answers the ping sent
// when it first did not, calls to it fail at once.
void BusClient::ThrowIfUnanswered(const std::vector<Request>& requests) const {
  auto& pings = unanswered_->pings;
  for (auto it = pings.begin(); it != pings.end();) {
    if (!dbus_pending_call_get_completed(it->second)) {
      ++it;
      continue;
    }
    dbus_pending_call_unref(it->second);
    it = pings.erase(it);
  }
  for (const Request& request : requests)
    if (pings.contains(request.object.name))
      throw platform::Failure(request.object.name + " does not answer (it did not answer before)");
}

void BusClient::Ping(const std::string& name) const {
  if (unanswered_->pings.contains(name)) return;
  DBusMessage* message = dbus_message_new_method_call(name.c_str(), "/", "org.freedesktop.DBus.Peer", "Ping");
  if (message == nullptr) return;
  DBusPendingCall* pending = nullptr;
  // Answered when the program runs again, or with an error once it has left the bus.
  if (dbus_connection_send_with_reply(connection_, message, &pending, DBUS_TIMEOUT_INFINITE) && pending)
    unanswered_->pings.emplace(name, pending);
  dbus_message_unref(message);
}

std::vector<Reply> BusClient::CallAll(const std::vector<Request>& requests, int32_t timeoutMs) const {
  if (connection_ == nullptr || !dbus_connection_get_is_connected(connection_)) {
    throw platform::Failure("the accessibility bus is not running");
  }
  ThrowIfUnanswered(requests);
  std::vector<Reply> replies(requests.size());
  std::deque<std::pair<size_t, DBusPendingCall*>> inFlight;
  auto dropAll = [&inFlight] {
    for (auto& [index, pending] : inFlight) {
      dbus_pending_call_cancel(pending);
      dbus_pending_call_unref(pending);
    }
    inFlight.clear();
  };
  size_t next = 0;
  while (next < requests.size() || !inFlight.empty()) {
    while (next < requests.size() && inFlight.size() < inFlight_) {
      DBusMessage* message = Build(requests[next]);
      DBusPendingCall* pending = nullptr;
      bool sent = dbus_connection_send_with_reply(connection_, message, &pending, timeoutMs);
      dbus_message_unref(message);
      if (!sent || pending == nullptr) {
        dropAll();
        throw platform::Failure("the accessibility bus is gone");
      }
      inFlight.emplace_back(next++, pending);
    }
    dbus_connection_flush(connection_);
    auto [index, pending] = inFlight.front();
    inFlight.pop_front();
    dbus_pending_call_block(pending);
    replies[index] = Reply(dbus_pending_call_steal_reply(pending));
    dbus_pending_call_unref(pending);
    if (replies[index].TimedOut()) {
      dropAll();
      Ping(requests[index].object.name);
      throw platform::Failure(requests[index].object.name + " did not answer " + requests[index].method);
    }
  }
  return replies;
}

void AppendInt32(DBusMessageIter& iter, int32_t value) {
  dbus_int32_t v = value;
  dbus_message_iter_append_basic(&iter, DBUS_TYPE_INT32, &v);
}

void AppendUint32(DBusMessageIter& iter, uint32_t value) {
  dbus_uint32_t v = value;
  dbus_message_iter_append_basic(&iter, DBUS_TYPE_UINT32, &v);
}

void AppendString(DBusMessageIter& iter, const std::string& value) {
  const char* v = value.c_str();
  dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &v);
}

ArgWriter Ints(std::vector<int32_t> values) {
  return [values = std::move(values)](DBusMessageIter& iter) {
    for (int32_t value : values) AppendInt32(iter, value);
  };
}

ArgWriter Strings(std::vector<std::string> values) {
  return [values = std::move(values)](DBusMessageIter& iter) {
    for (const std::string& value : values) AppendString(iter, value);
  };
}

namespace {

void AppendBits(DBusMessageIter& iter, const std::vector<uint32_t>& bits, int words) {
  DBusMessageIter array;
  dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "i", &array);
  for (int word = 0; word < words; ++word) {
    int32_t value = 0;
    for (uint32_t bit : bits) {
      if (static_cast<int>(bit / 32) == word) value |= static_cast<int32_t>(1U << (bit % 32));
    }
    AppendInt32(array, value);
  }
  dbus_message_iter_close_container(&iter, &array);
}

void AppendEmptyArray(DBusMessageIter& iter, const char* signature) {
  DBusMessageIter array;
  dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, signature, &array);
  dbus_message_iter_close_container(&iter, &array);
}

void AppendBool(DBusMessageIter& iter, bool value) {
  dbus_bool_t boolean = value ? TRUE : FALSE;
  dbus_message_iter_append_basic(&iter, DBUS_TYPE_BOOLEAN, &boolean);
}

}  // namespace

ArgWriter MatchRule(std::vector<uint32_t> states, std::vector<uint32_t> roles, int32_t count) {
  return [states = std::move(states), roles = std::move(roles), count](DBusMessageIter& iter) {
    DBusMessageIter rule;
    dbus_message_iter_open_container(&iter, DBUS_TYPE_STRUCT, nullptr, &rule);
    AppendBits(rule, states, 2);
    AppendInt32(rule, ATSPI_Collection_MATCH_ALL);
    AppendEmptyArray(rule, "{ss}");  // attributes
    AppendInt32(rule, ATSPI_Collection_MATCH_ALL);
    AppendBits(rule, roles, 4);
    AppendInt32(rule, roles.empty() ? ATSPI_Collection_MATCH_ALL : ATSPI_Collection_MATCH_ANY);
    AppendEmptyArray(rule, "s");  // interfaces
    AppendInt32(rule, ATSPI_Collection_MATCH_ALL);
    AppendBool(rule, false);  // invert
    dbus_message_iter_close_container(&iter, &rule);
    AppendUint32(iter, ATSPI_Collection_SORT_ORDER_CANONICAL);
    AppendInt32(iter, count);
    AppendBool(iter, true);  // traverse
  };
}

}  // namespace lectryn::accessibility::atspi
