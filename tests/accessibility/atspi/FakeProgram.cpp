#include "FakeProgram.h"

#include <atspi/atspi.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace lectryn::accessibility::atspi::testing {
namespace {

constexpr const char* kName = ":1.7";
constexpr const char* kUrl = "file:///fake/page.htm";

int IndexOf(DBusMessage* message) {
  const char* path = dbus_message_get_path(message);
  if (path == nullptr || std::strncmp(path, "/page/", 6) != 0) return -1;
  return std::atoi(path + 6);
}

std::vector<int32_t> Ints(DBusMessage* message) {
  std::vector<int32_t> values;
  DBusMessageIter iter;
  if (!dbus_message_iter_init(message, &iter)) return values;
  do {
    if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_INT32) continue;
    dbus_int32_t value = 0;
    dbus_message_iter_get_basic(&iter, &value);
    values.push_back(value);
  } while (dbus_message_iter_next(&iter));
  return values;
}

void AppendObject(DBusMessageIter& iter, const std::string& path) {
  DBusMessageIter fields;
  dbus_message_iter_open_container(&iter, DBUS_TYPE_STRUCT, nullptr, &fields);
  const char* name = kName;
  const char* objectPath = path.c_str();
  dbus_message_iter_append_basic(&fields, DBUS_TYPE_STRING, &name);
  dbus_message_iter_append_basic(&fields, DBUS_TYPE_OBJECT_PATH, &objectPath);
  dbus_message_iter_close_container(&iter, &fields);
}

DBusMessage* Return(DBusMessage* call, int type, const void* value) {
  DBusMessage* reply = dbus_message_new_method_return(call);
  dbus_message_append_args(reply, type, value, DBUS_TYPE_INVALID);
  return reply;
}

DBusMessage* Bool(DBusMessage* call, bool value) {
  dbus_bool_t b = value ? TRUE : FALSE;
  return Return(call, DBUS_TYPE_BOOLEAN, &b);
}

}  // namespace

FakeProgram::FakeProgram(int depth) : depth_(depth) {
  dbus_threads_init_default();
  context_ = g_main_context_new();
  loop_ = g_main_loop_new(context_, FALSE);
  DBusError error;
  dbus_error_init(&error);
  server_ = dbus_server_listen("unix:tmpdir=/tmp", &error);
  if (server_ == nullptr) {
    std::string message = error.message != nullptr ? error.message : "?";
    dbus_error_free(&error);
    throw std::runtime_error("cannot listen: " + message);
  }
  dbus_server_set_new_connection_function(
      server_,
      [](DBusServer*, DBusConnection* connection, void* self) {
        auto* program = static_cast<FakeProgram*>(self);
        dbus_connection_ref(connection);
        program->served_ = connection;
        atspi_dbus_connection_setup_with_g_main(connection, program->context_);
        dbus_connection_add_filter(connection, &FakeProgram::OnMessage, program, nullptr);
      },
      this, nullptr);
  atspi_dbus_server_setup_with_g_main(server_, context_);
  thread_ = std::thread([this] {
    g_main_context_push_thread_default(context_);
    g_main_loop_run(loop_);
    g_main_context_pop_thread_default(context_);
  });
  char* address = dbus_server_get_address(server_);
  client_ = dbus_connection_open_private(address, &error);
  dbus_free(address);
  if (client_ == nullptr) {
    dbus_error_free(&error);
    throw std::runtime_error("cannot connect to the fake program");
  }
  dbus_connection_set_exit_on_disconnect(client_, FALSE);
}

FakeProgram::~FakeProgram() {
  Resume();
  g_main_loop_quit(loop_);
  g_main_context_wakeup(context_);
  thread_.join();
  dbus_connection_close(client_);
  dbus_connection_unref(client_);
  if (served_ != nullptr) {
    dbus_connection_close(served_);
    dbus_connection_unref(served_);
  }
  dbus_server_disconnect(server_);
  dbus_server_unref(server_);
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

std::string FakeProgram::Selected() const {
  int start = selectionStart_;
  int end = selectionEnd_;
  std::string text(kText);
  if (start < 0 || end <= start || static_cast<size_t>(end) > text.size()) return {};
  return text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

void FakeProgram::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
}

void FakeProgram::Resume() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = false;
  }
  resumed_.notify_all();
}

void FakeProgram::WaitWhileStopped() {
  std::unique_lock lock(mutex_);
  resumed_.wait(lock, [this] { return !stopped_; });
}

DBusHandlerResult FakeProgram::OnMessage(DBusConnection* connection, DBusMessage* message, void* self) {
  if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
  auto* program = static_cast<FakeProgram*>(self);
  // A stopped program's calls wait in its queue, pings included.
  program->WaitWhileStopped();
  std::this_thread::sleep_for(std::chrono::milliseconds(program->delayMs.load()));
  DBusMessage* reply = program->Answer(message);
  dbus_connection_send(connection, reply, nullptr);
  dbus_message_unref(reply);
  return DBUS_HANDLER_RESULT_HANDLED;
}

DBusMessage* FakeProgram::Answer(DBusMessage* call) {
  std::string method = dbus_message_get_member(call);
  int index = IndexOf(call);
  std::vector<int32_t> ints = Ints(call);
  if (index < 0 || index >= depth_)
    return dbus_message_new_error(call, "org.freedesktop.DBus.Error.UnknownObject", "no such object");
  if (method == "GetExtents") {
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter iter;
    DBusMessageIter fields;
    dbus_message_iter_init_append(reply, &iter);
    dbus_message_iter_open_container(&iter, DBUS_TYPE_STRUCT, nullptr, &fields);
    for (dbus_int32_t value : {0, 0, 1000, 1000}) dbus_message_iter_append_basic(&fields, DBUS_TYPE_INT32, &value);
    dbus_message_iter_close_container(&iter, &fields);
    return reply;
  }
  if (method == "GetAccessibleAtPoint" || method == "Get") {
    // The child under any point, or (a property) the parent.
    int other = method == "Get" ? index - 1 : index + 1;
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter iter;
    dbus_message_iter_init_append(reply, &iter);
    std::string path = other >= 0 && other < depth_ ? Path(other) : "/org/a11y/atspi/null";
    if (method == "GetAccessibleAtPoint") {
      AppendObject(iter, path);
    } else {
      DBusMessageIter variant;
      dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, "(so)", &variant);
      AppendObject(variant, path);
      dbus_message_iter_close_container(&iter, &variant);
    }
    return reply;
  }
  if (method == "GetAttributeValue") {
    const char* url = kUrl;
    return Return(call, DBUS_TYPE_STRING, &url);
  }
  if (method == "GetNSelections") {
    dbus_int32_t count = selectionEnd_ > selectionStart_ ? 1 : 0;
    return Return(call, DBUS_TYPE_INT32, &count);
  }
  if ((method == "SetSelection" && ints.size() == 3) || (method == "AddSelection" && ints.size() == 2)) {
    if (refuseSelection) return Bool(call, false);
    selectionStart_ = ints[ints.size() - 2];
    selectionEnd_ = ints.back();
    return Bool(call, true);
  }
  if (method == "RemoveSelection") {
    selectionStart_ = selectionEnd_ = 0;
    return Bool(call, true);
  }
  if (method == "GetSelection") {
    DBusMessage* reply = dbus_message_new_method_return(call);
    dbus_int32_t start = selectionStart_;
    dbus_int32_t end = selectionEnd_;
    dbus_message_append_args(reply, DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID);
    return reply;
  }
  if (method == "GetText" && ints.size() == 2) {
    std::string text(kText);
    std::string part = ints[0] >= 0 && ints[1] > ints[0] && static_cast<size_t>(ints[1]) <= text.size()
                           ? text.substr(static_cast<size_t>(ints[0]), static_cast<size_t>(ints[1] - ints[0]))
                           : std::string();
    const char* value = part.c_str();
    return Return(call, DBUS_TYPE_STRING, &value);
  }
  if (method == "ScrollSubstringTo") return Bool(call, !refuseScroll);
  if (method == "ScrollTo") {
    if (refuseScroll) return dbus_message_new_error(call, "org.a11y.atspi.Error.Refused", "cannot scroll");
    return Bool(call, true);
  }
  return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, method.c_str());
}

}  // namespace lectryn::accessibility::atspi::testing
