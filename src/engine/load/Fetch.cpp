#include "engine/load/Fetch.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/load/Address.h"
#include "engine/load/Charset.h"
#include "engine/load/JavascriptUrl.h"

namespace lectryn::engine {
namespace {

constexpr char kHtmlUtf8[] = "text/html; charset=utf-8";

FetchResult Failed(std::string_view verb, std::string_view what, std::string_view why) {
  FetchResult result;
  result.error = std::string(verb) + " " + std::string(what) + ": " + std::string(why);
  return result;
}

std::string LowerFirst(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

std::string DescribeErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "no such file";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ELOOP:
      return "too many symbolic links";
    default:
      return LowerFirst(std::strerror(error));
  }
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// Pages and text are read; pictures, archives and the like would only give noise.
bool IsReadable(const std::string& mediaType) {
  return mediaType.empty() || mediaType.starts_with("text/") || mediaType == "application/xhtml+xml" ||
         mediaType == "application/xml" || mediaType.ends_with("+xml");
}

FetchResult FetchFile(const std::string& address, const FetchLimits& limits, const Cancellation& cancel) {
  std::optional<std::string> path = PathFromFileUrl(address);
  if (!path) return Failed("cannot read", address, "not a file on this computer");
  std::string shown = *path;
  std::string absolute = *path;
  if (!absolute.starts_with('/')) absolute = *PathFromFileUrl(NormalizeAddress(absolute));

  // Non-blocking open: a named pipe must not hang the load waiting for a writer.
  FileDescriptor file(open(absolute.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.Get() < 0) return Failed("cannot read", shown, DescribeErrno(errno));
  struct stat status {};
  if (fstat(file.Get(), &status) != 0) return Failed("cannot read", shown, DescribeErrno(errno));
  if (S_ISDIR(status.st_mode)) return Failed("cannot read", shown, "it is a folder, not a page");
  if (!S_ISREG(status.st_mode)) return Failed("cannot read", shown, "not a regular file");
  std::string tooLarge = "larger than " + DescribeSize(limits.maxBytes);
  if (static_cast<uint64_t>(status.st_size) > limits.maxBytes) return Failed("cannot read", shown, tooLarge);

  FetchResult result;
  result.bytes.reserve(static_cast<size_t>(status.st_size));
  char buffer[65536];
  for (;;) {
    if (cancel.Cancelled()) return Failed("cannot read", shown, "cancelled");
    ssize_t count = read(file.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return Failed("cannot read", shown, DescribeErrno(errno));
    if (count == 0) break;
    // The file may grow while we read it.
    if (result.bytes.size() + static_cast<size_t>(count) > limits.maxBytes)
      return Failed("cannot read", shown, tooLarge);
    result.bytes.append(buffer, static_cast<size_t>(count));
  }
  result.ok = true;
  result.address = FileUrlFromPath(absolute);
  return result;
}

struct Body {
  std::string bytes;
  size_t maxBytes = 0;
  bool tooLarge = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* context) {
  auto* body = static_cast<Body*>(context);
  size_t length = size * count;
  if (body->bytes.size() + length > body->maxBytes) {
    body->tooLarge = true;
    return 0;  // makes libcurl stop with a write error
  }
  body->bytes.append(data, length);
  return length;
}

struct EasyCloser {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCloser {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

FetchResult FetchHttp(const std::string& address, const FetchLimits& limits, Cancellation& cancel) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  std::unique_ptr<CURL, EasyCloser> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiCloser> multi(curl_multi_init());
  if (!easy || !multi) return Failed("cannot load", address, "the network library could not start");

  Body body;
  body.maxBytes = limits.maxBytes;
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");  // never from the web to a file
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.timeoutMs));
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");  // the size limit applies after decoding
  curl_easy_setopt(handle, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "Lectryn/1.0");
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  curl_multi_add_handle(multi.get(), handle);

  CURLM* multiHandle = multi.get();
  cancel.SetWake([multiHandle] { curl_multi_wakeup(multiHandle); });
  int running = 1;
  while (!cancel.Cancelled()) {
    if (curl_multi_perform(multiHandle, &running) != CURLM_OK || running == 0) break;
    if (curl_multi_poll(multiHandle, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
  }
  cancel.SetWake({});

  CURLcode code = CURLE_FAILED_INIT;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multiHandle, &left))
    if (message->msg == CURLMSG_DONE) code = message->data.result;
  curl_multi_remove_handle(multiHandle, handle);

  if (cancel.Cancelled()) return Failed("cannot load", address, "cancelled");
  if (body.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
    return Failed("cannot load", address, "larger than " + DescribeSize(limits.maxBytes));
  if (code == CURLE_OPERATION_TIMEDOUT)
    return Failed("cannot load", address, "timed out after " + DescribeDuration(limits.timeoutMs));
  if (code == CURLE_TOO_MANY_REDIRECTS)
    return Failed("cannot load", address,
                  "too many redirects (more than " + std::to_string(limits.maxRedirects) + ")");
  if (code != CURLE_OK) {
    std::string why = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    return Failed("cannot load", address, LowerFirst(why));
  }
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400) return Failed("cannot load", address, "HTTP " + std::to_string(status));

  char* contentType = nullptr;
  curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
  std::string mediaType = MediaTypeOf(contentType != nullptr ? contentType : "");
  if (!IsReadable(mediaType)) return Failed("cannot load", address, "not a web page but " + mediaType);

  FetchResult result;
  result.ok = true;
  result.bytes = std::move(body.bytes);
  if (contentType != nullptr) result.contentType = contentType;
  curl_header* language = nullptr;
  if (curl_easy_header(handle, "Content-Language", 0, CURLH_HEADER, -1, &language) == CURLHE_OK)
    result.contentLanguage = language->value;
  long redirects = 0;
  curl_easy_getinfo(handle, CURLINFO_REDIRECT_COUNT, &redirects);
  char* effective = nullptr;
  curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective);
  result.address = redirects > 0 && effective != nullptr ? std::string(effective) : address;
  return result;
}

}  // namespace

void Cancellation::Cancel() {
  cancelled_.store(true);
  std::lock_guard lock(mutex_);
  if (wake_) wake_();
}

void Cancellation::SetWake(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

std::string DescribeDuration(int64_t ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  std::string text = std::to_string(ms / 1000) + "." + std::to_string(1000 + ms % 1000).substr(1);
  while (text.back() == '0') text.pop_back();
  return text + " s";
}

std::string DescribeSize(size_t bytes) {
  constexpr size_t kKiB = 1024;
  constexpr size_t kMiB = 1024 * 1024;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  if (bytes >= kKiB && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

FetchResult Fetch(const std::string& address, const FetchLimits& limits, Cancellation& cancel) {
  FetchResult result;
  switch (KindOf(address)) {
    case AddressKind::File:
      return FetchFile(address, limits, cancel);
    case AddressKind::Http:
      return FetchHttp(address, limits, cancel);
    case AddressKind::AboutBlank:
      result.ok = true;
      break;
    case AddressKind::Javascript:
      result.ok = true;
      result.bytes = PageOfJavascriptUrl(address);
      if (result.bytes.size() > limits.maxBytes)
        return Failed("cannot load", "the javascript: address",
                      "larger than " + DescribeSize(limits.maxBytes));
      break;
    case AddressKind::Unsupported:
      return Failed("cannot load", address, "unsupported address; use a file, http or https address");
  }
  result.address = address;
  result.contentType = kHtmlUtf8;
  return result;
}

}  // namespace lectryn::engine
