#include "accessibility/atspi/BackgroundReader.h"

#include <cstdlib>

#include "accessibility/atspi/BusClient.h"
#include "accessibility/atspi/TreeReader.h"
#include "platform/Failure.h"

namespace lectryn::accessibility::atspi {

BackgroundReader::BackgroundReader(ObjectTable& table, std::function<std::string()> address, int32_t callTimeoutMs,
                                   std::function<void(AxRef, Done)> elsewhere)
    : table_(table), address_(std::move(address)), timeoutMs_(callTimeoutMs), elsewhere_(std::move(elsewhere)) {
  thread_ = std::thread([this] { Loop(); });
}

BackgroundReader::~BackgroundReader() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  // A read under way ends at its next call once the connection is closed.
  if (DBusConnection* connection = connection_.load()) dbus_connection_close(connection);
  thread_.join();
  if (DBusConnection* connection = connection_.load()) dbus_connection_unref(connection);
}

std::string BackgroundReader::SessionAccessibilityBus() {
  if (const char* given = std::getenv("AT_SPI_BUS_ADDRESS"); given != nullptr && *given != '\0') return given;
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* session = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
  dbus_error_free(&error);
  if (session == nullptr) return {};
  dbus_connection_set_exit_on_disconnect(session, FALSE);
  std::string address;
  DBusMessage* call = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
  if (call != nullptr) {
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(session, call, 2000, &error);
    const char* value = nullptr;
    if (reply != nullptr && dbus_message_get_args(reply, &error, DBUS_TYPE_STRING, &value, DBUS_TYPE_INVALID))
      address = value;
    if (reply != nullptr) dbus_message_unref(reply);
    dbus_message_unref(call);
  }
  dbus_error_free(&error);
  dbus_connection_close(session);
  dbus_connection_unref(session);
  return address;
}

bool BackgroundReader::Connect() {
  std::string address = address_ ? address_() : std::string();
  if (address.empty()) return false;
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* connection = dbus_connection_open_private(address.c_str(), &error);
  if (connection != nullptr && !dbus_bus_register(connection, &error)) {
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    connection = nullptr;
  }
  dbus_error_free(&error);
  if (connection == nullptr) return false;
  dbus_connection_set_exit_on_disconnect(connection, FALSE);
  connection_ = connection;
  std::lock_guard lock(mutex_);
  // Stopped while connecting: the destructor did not see the connection to close it.
  if (stopping_) dbus_connection_close(connection);
  return true;
}

void BackgroundReader::Read(AxRef document, Done done) {
  if (unreachable_) {
    elsewhere_(document, std::move(done));
    return;
  }
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(Job{document, std::move(done)});
  }
  wake_.notify_all();
}

void BackgroundReader::Loop() {
  bool tried = false;
  std::optional<BusClient> client;
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    if (!tried) {
      tried = true;
      if (Connect()) {
        client.emplace(connection_.load(), kInFlight);
      } else {
        unreachable_ = true;
      }
    }
    if (!client) {
      elsewhere_(job.document, std::move(job.done));
      continue;
    }
    std::optional<AxNode> tree;
    try {
      tree = TreeReader(*client, table_, timeoutMs_).Read(job.document);
    } catch (const platform::Failure&) {
      tree.reset();  // the page is read as far as the parts go
    }
    job.done(std::move(tree));
  }
}

}  // namespace lectryn::accessibility::atspi
