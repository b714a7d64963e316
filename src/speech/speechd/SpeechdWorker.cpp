#include "speech/speechd/SpeechdWorker.h"

#include <fcntl.h>
#include <libspeechd.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <map>

#include "speech/speechd/MarkedText.h"

namespace lectryn::speech::speechd {

class SpeechdSession {
 public:
  explicit SpeechdSession(SpeechdWorker::Listener listener) : listener(std::move(listener)) {}
  ~SpeechdSession() { Disconnect(); }

  // Worker thread only, but for listener, which is fixed at creation.
  const SpeechdWorker::Listener listener;
  SPDConnection* connection = nullptr;
  int watch = -1;  // a second descriptor of the connection's socket: it tells when the server hangs up
  size_t client = 0;
  std::string userModule;    // the user's settings, as the server gave them on connecting
  std::string userLanguage;
  int32_t userRate = 0;
  SaySettings applied;       // what the connection has now, with the user's values filled in
  bool closed = false;

  void Disconnect();
};

namespace {

std::mutex registryMutex;
// Sessions by the server's client id: libspeechd's callbacks carry nothing else.
std::map<size_t, std::weak_ptr<SpeechdSession>>& Registry() {
  static std::map<size_t, std::weak_ptr<SpeechdSession>> registry;
  return registry;
}

std::shared_ptr<SpeechdSession> SessionOf(size_t client) {
  std::lock_guard lock(registryMutex);
  auto found = Registry().find(client);
  return found == Registry().end() ? nullptr : found->second.lock();
}

void Notify(size_t message, size_t client, SPDNotificationType type, int32_t mark) {
  std::shared_ptr<SpeechdSession> session = SessionOf(client);
  if (!session) return;
  SessionEvent event;
  switch (type) {
    case SPD_EVENT_BEGIN: event.kind = SessionEvent::Kind::Begin; break;
    case SPD_EVENT_END: event.kind = SessionEvent::Kind::End; break;
    case SPD_EVENT_INDEX_MARK: event.kind = SessionEvent::Kind::Mark; break;
    case SPD_EVENT_CANCEL: event.kind = SessionEvent::Kind::Cancelled; break;
    default: return;
  }
  event.message = static_cast<int64_t>(message);
  event.mark = mark;
  session->listener(std::move(event));
}

void OnNotification(size_t message, size_t client, SPDNotificationType type) {
  Notify(message, client, type, -1);
}

void OnMark(size_t message, size_t client, SPDNotificationType type, char* mark) {
  Notify(message, client, type, mark ? WordOfMark(mark) : -1);
}

// libspeechd's errors run over several lines; people get one.
std::string OneLine(const char* text) {
  std::string line;
  for (const char* c = text; c && *c; ++c) {
    char ch = (*c == '\n' || *c == '\r') ? ' ' : *c;
    if (ch == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += ch;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::string TakeString(char* text) {
  std::string value = text ? text : "";
  free(text);
  return value;
}

// libspeechd frees what an address holds with free().
SPDConnectionAddress* ParseAddress(const std::string& address, std::string& error) {
  auto* parsed = static_cast<SPDConnectionAddress*>(calloc(1, sizeof(SPDConnectionAddress)));
  const std::string unixPrefix = "unix_socket:";
  const std::string inetPrefix = "inet_socket:";
  if (address.rfind(unixPrefix, 0) == 0 && address.size() > unixPrefix.size()) {
    parsed->method = SPD_METHOD_UNIX_SOCKET;
    parsed->unix_socket_name = strdup(address.c_str() + unixPrefix.size());
    return parsed;
  }
  if (address.rfind(inetPrefix, 0) == 0 && address.size() > inetPrefix.size()) {
    std::string rest = address.substr(inetPrefix.size());
    size_t colon = rest.rfind(':');
    int port = SPEECHD_DEFAULT_PORT;
    if (colon != std::string::npos) {
      port = atoi(rest.c_str() + colon + 1);
      rest.resize(colon);
    }
    if (port > 0 && port < 65536 && !rest.empty()) {
      parsed->method = SPD_METHOD_INET_SOCKET;
      parsed->inet_socket_host = strdup(rest.c_str());
      parsed->inet_socket_port = port;
      return parsed;
    }
  }
  free(parsed);
  error = "the speech-dispatcher address \"" + address +
          "\" is not understood: it takes unix_socket:PATH or inet_socket:HOST:PORT";
  return nullptr;
}

SPDConnection* OpenConnection(const std::string& address, SPDConnectionMode mode, std::string& error) {
  char* failure = nullptr;
  SPDConnectionAddress* parsed =
      address.empty() ? spd_get_default_address(&failure) : ParseAddress(address, error);
  if (!parsed) {
    if (failure) error = "cannot find speech-dispatcher: " + OneLine(failure);
    free(failure);
    return nullptr;
  }
  // Autospawn starts the user's server where it is not running, as every client of the desktop does.
  SPDConnection* connection = spd_open2("lectryn", "reading", nullptr, mode, parsed, 1, &failure);
  SPDConnectionAddress__free(parsed);
  if (!connection) {
    error = "cannot reach speech-dispatcher: " + OneLine(failure ? failure : "no reason given");
    free(failure);
  }
  return connection;
}

const char kLost[] = "speech-dispatcher stopped: the reading has stopped";

// The voices of the connection's output module, without their variants: a module lists each voice
// again with each variant it has (espeak-ng 13,000 lines), which libspeechd reads in quadratic time;
// the reply is read here instead, on a connection without an events thread.
std::vector<ServerVoice> ListModuleVoices(int socket) {
  std::vector<ServerVoice> voices;
  const char command[] = "LIST SYNTHESIS_VOICES\r\n";
  if (write(socket, command, sizeof command - 1) != static_cast<ssize_t>(sizeof command - 1)) return voices;
  std::string pending;
  char buffer[65536];
  for (;;) {
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // "249-name\tlanguage\tvariant" per voice, then "249 OK VOICE LIST SENT" (or an error code).
      if (line.size() < 4 || line[3] != '-') return voices;
      size_t tab = line.find('\t', 4);
      size_t tab2 = tab == std::string::npos ? tab : line.find('\t', tab + 1);
      if (tab == std::string::npos) continue;
      std::string variant = tab2 == std::string::npos ? "" : line.substr(tab2 + 1);
      if (!variant.empty() && variant != "none") continue;
      voices.push_back({{}, line.substr(4, tab - 4), line.substr(tab + 1, tab2 - tab - 1)});
    }
    ssize_t got = read(socket, buffer, sizeof buffer);
    if (got <= 0) return voices;
    pending.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace

void SpeechdSession::Disconnect() {
  if (!connection) return;
  {
    std::lock_guard lock(registryMutex);
    auto found = Registry().find(client);
    if (found != Registry().end() && found->second.lock().get() == this) Registry().erase(found);
  }
  // Joins libspeechd's event thread: no callback of this connection runs after it.
  spd_close(connection);
  connection = nullptr;
  if (watch >= 0) close(watch);
  watch = -1;
  applied = {};
}

SpeechdWorker::SpeechdWorker(std::string address) : address_(std::move(address)) {
  thread_ = std::thread([this] { Run(); });
}

SpeechdWorker::~SpeechdWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void SpeechdWorker::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void SpeechdWorker::Run() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      // The wait is bounded so that a server that hangs up is noticed while nothing else happens.
      wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stopping_ || !jobs_.empty(); });
      if (!jobs_.empty()) {
        job = std::move(jobs_.front());
        jobs_.pop_front();
      } else if (stopping_) {
        break;
      }
    }
    if (job) job();
    WatchConnections();
  }
  for (const auto& session : sessions_) session->Disconnect();
  sessions_.clear();
}

void SpeechdWorker::WatchConnections() {
  for (const auto& session : sessions_) {
    if (!session->connection) continue;
    pollfd watch{session->watch, POLLRDHUP, 0};
    if (poll(&watch, 1, 0) <= 0) continue;
    if (!(watch.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))) continue;
    session->Disconnect();
    session->listener({SessionEvent::Kind::Failed, 0, -1, -1, kLost, {}});
  }
}

std::shared_ptr<SpeechdSession> SpeechdWorker::OpenSession(Listener listener) {
  auto session = std::make_shared<SpeechdSession>(std::move(listener));
  Post([this, session] { sessions_.push_back(session); });
  return session;
}

void SpeechdWorker::Say(const std::shared_ptr<SpeechdSession>& session, uint64_t request, std::string ssml,
                        SaySettings settings) {
  Post([this, session, request, ssml = std::move(ssml), settings = std::move(settings)] {
    if (session->closed) return;
    auto fail = [&](std::string error) {
      session->listener({SessionEvent::Kind::Failed, request, -1, -1, std::move(error), {}});
    };
    // A voice chosen before cannot be unset on a connection: a new one starts from the user's settings.
    if (session->connection && settings.voice.empty() && !session->applied.voice.empty())
      session->Disconnect();
    if (!session->connection) {
      std::string error;
      SPDConnection* connection = OpenConnection(address_, SPD_MODE_THREADED, error);
      if (!connection) return fail(error);
      session->connection = connection;
      session->watch = fcntl(connection->socket, F_DUPFD_CLOEXEC, 0);
      session->client = static_cast<size_t>(spd_get_client_id(connection));
      {
        std::lock_guard lock(registryMutex);
        Registry()[session->client] = session;
      }
      connection->callback_begin = OnNotification;
      connection->callback_end = OnNotification;
      connection->callback_cancel = OnNotification;
      connection->callback_pause = OnNotification;
      connection->callback_resume = OnNotification;
      connection->callback_im = OnMark;
      spd_set_notification_on(connection, SPD_ALL);
      spd_set_data_mode(connection, SPD_DATA_SSML);
      session->userModule = TakeString(spd_get_output_module(connection));
      session->userLanguage = TakeString(spd_get_language(connection));
      session->userRate = spd_get_voice_rate(connection);
      session->applied = {session->userModule, {}, session->userLanguage, session->userRate};
    }
    SPDConnection* connection = session->connection;
    SaySettings wanted = settings;
    if (wanted.module.empty()) wanted.module = session->userModule;
    if (wanted.language.empty()) wanted.language = session->userLanguage;
    if (!wanted.rate) wanted.rate = session->userRate;
    SaySettings& applied = session->applied;
    if (wanted.module != applied.module) {
      if (spd_set_output_module(connection, wanted.module.c_str()) != 0) {
        fprintf(stderr, "lectryn: speech-dispatcher has no output module \"%s\"; its default speaks\n",
                wanted.module.c_str());
      }
      applied.module = wanted.module;
      applied.language.clear();  // a module starts from its own voice: say the language again
      applied.voice.clear();
    }
    if (wanted.language != applied.language) {
      spd_set_language(connection, wanted.language.c_str());
      applied.language = wanted.language;
      applied.voice.clear();
    }
    if (!wanted.voice.empty() && wanted.voice != applied.voice) {
      if (spd_set_synthesis_voice(connection, wanted.voice.c_str()) != 0) {
        fprintf(stderr, "lectryn: speech-dispatcher has no voice \"%s\"; the language's default speaks\n",
                wanted.voice.c_str());
      }
      applied.voice = wanted.voice;
    }
    if (wanted.rate != applied.rate) {
      spd_set_voice_rate(connection, *wanted.rate);
      applied.rate = wanted.rate;
    }
    int message = spd_say(connection, SPD_MESSAGE, ssml.c_str());
    if (message < 0) {
      pollfd watch{session->watch, POLLRDHUP, 0};
      bool hungUp = poll(&watch, 1, 0) > 0;
      if (hungUp) session->Disconnect();
      return fail(hungUp ? kLost : "speech-dispatcher refused the text");
    }
    session->listener({SessionEvent::Kind::Said, request, message, -1, {}, applied.module});
  });
}

void SpeechdWorker::Cancel(const std::shared_ptr<SpeechdSession>& session) {
  Post([session] {
    if (session->connection) spd_cancel(session->connection);
  });
}

void SpeechdWorker::Close(const std::shared_ptr<SpeechdSession>& session) {
  Post([this, session] {
    session->closed = true;
    if (session->connection) spd_cancel(session->connection);
    session->Disconnect();
    std::erase(sessions_, session);
  });
}

std::optional<std::vector<ServerVoice>> SpeechdWorker::ListVoices(std::chrono::milliseconds timeout,
                                                                  std::string& error) {
  struct Answer {
    std::vector<ServerVoice> voices;
    std::string error;
  };
  auto promise = std::make_shared<std::promise<Answer>>();
  std::future<Answer> future = promise->get_future();
  Post([this, promise] {
    Answer answer;
    SPDConnection* connection = OpenConnection(address_, SPD_MODE_SINGLE, answer.error);
    if (connection) {
      char** modules = spd_list_modules(connection);
      for (char** module = modules; module && *module; ++module) {
        if (spd_set_output_module(connection, *module) != 0) continue;
        for (ServerVoice& voice : ListModuleVoices(connection->socket)) {
          voice.module = *module;
          answer.voices.push_back(std::move(voice));
        }
      }
      if (modules) free_spd_modules(modules);
      spd_close(connection);
    }
    promise->set_value(std::move(answer));
  });
  if (future.wait_for(timeout) != std::future_status::ready) {
    error = "speech-dispatcher did not answer in time";
    return std::nullopt;
  }
  Answer answer = future.get();
  if (!answer.error.empty()) {
    error = answer.error;
    return std::nullopt;
  }
  return std::move(answer.voices);
}

}  // namespace lectryn::speech::speechd
