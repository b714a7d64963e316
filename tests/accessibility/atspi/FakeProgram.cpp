#include "FakeProgram.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace lectryn::accessibility::atspi::testing {
namespace {

constexpr const char* kName = ":1.7";
constexpr const char* kUrl = "file:///fake/page.htm";
constexpr const char* kLinkMark = "_link";

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

std::vector<std::string> Strings(DBusMessage* message) {
  std::vector<std::string> values;
  DBusMessageIter iter;
  if (!dbus_message_iter_init(message, &iter)) return values;
  do {
    if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRING) continue;
    const char* value = nullptr;
    dbus_message_iter_get_basic(&iter, &value);
    values.emplace_back(value);
  } while (dbus_message_iter_next(&iter));
  return values;
}

void AppendObject(DBusMessageIter& iter, const std::string& path, const char* name = kName) {
  DBusMessageIter fields;
  dbus_message_iter_open_container(&iter, DBUS_TYPE_STRUCT, nullptr, &fields);
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

// A property's value, as Properties.Get answers: a variant.
template <class Append>
DBusMessage* Variant(DBusMessage* call, const char* signature, Append append) {
  DBusMessage* reply = dbus_message_new_method_return(call);
  DBusMessageIter iter;
  DBusMessageIter variant;
  dbus_message_iter_init_append(reply, &iter);
  dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, signature, &variant);
  append(variant);
  dbus_message_iter_close_container(&iter, &variant);
  return reply;
}

// Characters [start, end) of text; end -1 is its end.
std::string Part(const std::string& text, int32_t start, int32_t end) {
  int32_t size = static_cast<int32_t>(text.size());
  if (end < 0 || end > size) end = size;
  if (start < 0 || start >= end) return {};
  return text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
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

void FakeProgram::Add(const std::string& busName, const std::string& path, TextObject object) {
  std::lock_guard lock(othersMutex_);
  others_[{busName, path}] = std::move(object);
}

void FakeProgram::Remove(const std::string& busName, const std::string& path) {
  std::lock_guard lock(othersMutex_);
  others_.erase({busName, path});
}

FakeProgram::TextObject FakeProgram::Object(const std::string& busName, const std::string& path) const {
  std::lock_guard lock(othersMutex_);
  auto found = others_.find({busName, path});
  return found != others_.end() ? found->second : TextObject{};
}

void FakeProgram::SetPid(const std::string& busName, uint32_t pid) {
  std::lock_guard lock(othersMutex_);
  pids_[busName] = pid;
}

std::vector<std::string> FakeProgram::CallsTo(const std::string& busName) const {
  std::lock_guard lock(othersMutex_);
  std::vector<std::string> calls;
  for (const auto& [name, call] : calls_)
    if (name == busName) calls.push_back(call);
  return calls;
}

std::vector<std::string> FakeProgram::ChildrenOf(const std::string& busName, const std::string& path) const {
  std::vector<std::string> children;
  for (const auto& [key, object] : others_)
    if (key.first == busName && object.parent == path) children.push_back(key.second);
  return children;
}

// Hypertext calls on an object, and Hyperlink calls on its links ("<path>_link<n>").
DBusMessage* FakeProgram::AnswerLink(DBusMessage* call, const std::string& busName, const std::string& path) {
  std::string method = dbus_message_get_member(call);
  std::vector<int32_t> ints = Ints(call);
  size_t mark = path.rfind(kLinkMark);
  if (mark != std::string::npos) {
    std::vector<std::string> children = ChildrenOf(busName, path.substr(0, mark));
    size_t index = std::stoul(path.substr(mark + std::strlen(kLinkMark)));
    if (method != "GetObject" || index >= children.size()) return nullptr;
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter iter;
    dbus_message_iter_init_append(reply, &iter);
    AppendObject(iter, children[index], busName.c_str());
    return reply;
  }
  const std::string& text = others_.at({busName, path}).text;
  if (method == "GetLinkIndex" && ints.size() == 1) {
    dbus_int32_t index = -1;
    if (ints[0] >= 0 && static_cast<size_t>(ints[0]) < text.size() && text[static_cast<size_t>(ints[0])] == '*')
      index = static_cast<dbus_int32_t>(std::count(text.begin(), text.begin() + ints[0], '*'));
    return Return(call, DBUS_TYPE_INT32, &index);
  }
  if (method == "GetLink" && ints.size() == 1) {
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter iter;
    dbus_message_iter_init_append(reply, &iter);
    AppendObject(iter, path + kLinkMark + std::to_string(ints[0]), busName.c_str());
    return reply;
  }
  return nullptr;
}

DBusMessage* FakeProgram::AnswerOther(DBusMessage* call) {
  const char* destination = dbus_message_get_destination(call);
  const char* path = dbus_message_get_path(call);
  if (destination == nullptr || path == nullptr) return nullptr;
  std::string method = dbus_message_get_member(call);
  std::lock_guard lock(othersMutex_);
  if (std::strcmp(destination, DBUS_SERVICE_DBUS) == 0) {
    std::vector<std::string> names = Strings(call);
    if (method != "GetConnectionUnixProcessID" || names.size() != 1) return nullptr;
    auto pid = pids_.find(names[0]);
    if (pid == pids_.end()) return dbus_message_new_error(call, DBUS_ERROR_NAME_HAS_NO_OWNER, names[0].c_str());
    dbus_uint32_t value = pid->second;
    return Return(call, DBUS_TYPE_UINT32, &value);
  }
  bool known = std::any_of(others_.begin(), others_.end(),
                           [destination](const auto& other) { return other.first.first == destination; });
  if (!known) return nullptr;
  calls_.emplace_back(destination, std::string(path) + " " + method);
  if (std::strstr(path, kLinkMark) != nullptr || method == "GetLinkIndex" || method == "GetLink") {
    if (DBusMessage* reply = AnswerLink(call, destination, path)) return reply;
    return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, method.c_str());
  }
  auto found = others_.find({destination, path});
  if (found == others_.end())
    return dbus_message_new_error(call, "org.freedesktop.DBus.Error.UnknownObject", "no such object");
  TextObject& object = found->second;
  std::vector<int32_t> ints = Ints(call);
  if (method == "GetRole") {
    dbus_uint32_t role = object.role;
    return Return(call, DBUS_TYPE_UINT32, &role);
  }
  if (method == "GetChildren" || method == "GetMatches") {
    std::vector<std::pair<std::string, std::string>> objects;
    if (method == "GetChildren" && std::strcmp(destination, kRegistry) == 0) {
      for (const auto& [key, other] : others_)
        if (key.first != kRegistry && key.second == kRoot) objects.push_back(key);
    } else if (method == "GetChildren") {
      for (const std::string& child : ChildrenOf(destination, path)) objects.emplace_back(destination, child);
    } else {
      // The first focused object below, as a match rule for the focused state asks.
      std::vector<std::string> below = ChildrenOf(destination, path);
      for (size_t i = 0; i < below.size() && objects.empty(); ++i) {
        if (others_.at({destination, below[i]}).focused) objects.emplace_back(destination, below[i]);
        for (const std::string& child : ChildrenOf(destination, below[i])) below.push_back(child);
      }
    }
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter iter;
    DBusMessageIter array;
    dbus_message_iter_init_append(reply, &iter);
    dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "(so)", &array);
    for (const auto& [name, child] : objects) AppendObject(array, child, name.c_str());
    dbus_message_iter_close_container(&iter, &array);
    return reply;
  }
  if (method == "GetState") {
    dbus_uint32_t words[2] = {0, 0};
    if (object.active) words[0] |= 1U << ATSPI_STATE_ACTIVE;
    if (object.focused) words[0] |= 1U << ATSPI_STATE_FOCUSED;
    DBusMessage* reply = dbus_message_new_method_return(call);
    const dbus_uint32_t* values = words;
    dbus_message_append_args(reply, DBUS_TYPE_ARRAY, DBUS_TYPE_UINT32, &values, 2, DBUS_TYPE_INVALID);
    return reply;
  }
  if (method == "Get") {
    std::vector<std::string> names = Strings(call);
    if (names == std::vector<std::string>{ATSPI_DBUS_INTERFACE_ACCESSIBLE, "Parent"}) {
      std::string parent = object.parent.empty() ? "/org/a11y/atspi/null" : object.parent;
      return Variant(call, "(so)", [&](DBusMessageIter& variant) { AppendObject(variant, parent, destination); });
    }
    if (object.hasText && names == std::vector<std::string>{ATSPI_DBUS_INTERFACE_TEXT, "CaretOffset"}) {
      dbus_int32_t caret = object.caretOffset;
      return Variant(call, "i", [&](DBusMessageIter& variant) {
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_INT32, &caret);
      });
    }
    return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_PROPERTY, "no such property");
  }
  if (!object.hasText) return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, method.c_str());
  if (method == "GetNSelections") {
    dbus_int32_t count = object.selectionEnd > object.selectionStart ? 1 : 0;
    return Return(call, DBUS_TYPE_INT32, &count);
  }
  if (method == "GetSelection" && ints.size() == 1) {
    DBusMessage* reply = dbus_message_new_method_return(call);
    dbus_int32_t start = ints[0] == 0 ? object.selectionStart : 0;
    dbus_int32_t end = ints[0] == 0 ? object.selectionEnd : 0;
    dbus_message_append_args(reply, DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID);
    return reply;
  }
  if (method == "SetSelection" && ints.size() == 3) {
    if (!object.takesSelection || ints[0] != 0) return Bool(call, false);
    object.selectionStart = ints[1];
    object.selectionEnd = ints[2];
    return Bool(call, true);
  }
  if (method == "RemoveSelection" && ints.size() == 1) {
    if (!(object.takesSelection || object.addsSelection) || ints[0] != 0) return Bool(call, false);
    object.selectionStart = object.selectionEnd = 0;
    return Bool(call, true);
  }
  if (method == "AddSelection" && ints.size() == 2) {
    if (!(object.takesSelection || object.addsSelection) || object.selectionEnd > object.selectionStart)
      return Bool(call, false);
    object.selectionStart = ints[0];
    object.selectionEnd = ints[1];
    return Bool(call, true);
  }
  if (method == "GetText" && ints.size() == 2) {
    std::string part = Part(object.text, ints[0], ints[1]);
    if (part == "*") part = "\xEF\xBF\xBC";
    const char* value = part.c_str();
    return Return(call, DBUS_TYPE_STRING, &value);
  }
  return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, method.c_str());
}

DBusMessage* FakeProgram::Answer(DBusMessage* call) {
  if (DBusMessage* reply = AnswerOther(call)) return reply;
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
