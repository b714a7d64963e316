#include "engine/load/Fetcher.h"

#include "engine/load/Charset.h"

namespace lectryn::engine {

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

Fetcher::Fetcher(platform::UiLoop& loop, FetchLimits limits) : loop_(loop), limits_(limits) {}

Fetcher::~Fetcher() {
  CancelAll();
  for (auto& job : jobs_) job->thread.join();
}

void Fetcher::Start(std::string address, std::function<void(FetchedPage)> done) {
  JoinFinished();
  auto job = std::make_shared<Job>();
  jobs_.push_back(job);
  // The thread holds the job, not the fetcher: the destructor joins it before the loop can go.
  job->thread = std::thread(
      [&loop = loop_, limits = limits_, job, address = std::move(address), done = std::move(done)]() mutable {
        FetchResult fetched = Fetch(address, limits, job->cancel);
        FetchedPage page;
        page.ok = fetched.ok;
        page.address = std::move(fetched.address);
        page.error = std::move(fetched.error);
        page.contentLanguage = std::move(fetched.contentLanguage);
        if (fetched.ok) {
          DecodedPage decoded = DecodeToUtf8(fetched.bytes, fetched.contentType);
          // Plain text shows as it is, line by line, as browsers show it.
          bool plainText = MediaTypeOf(fetched.contentType) == "text/plain";
          page.html = plainText ? "<pre>" + EscapeHtml(decoded.utf8) + "</pre>" : std::move(decoded.utf8);
          page.charset = std::move(decoded.charset);
        }
        if (!job->cancel.Cancelled()) {
          loop.Post([job, page = std::move(page), done = std::move(done)]() mutable {
            if (!job->cancel.Cancelled()) done(std::move(page));
          });
        }
        job->finished.store(true);
      });
}

void Fetcher::CancelAll() {
  for (auto& job : jobs_) job->cancel.Cancel();
}

void Fetcher::JoinFinished() {
  for (auto it = jobs_.begin(); it != jobs_.end();) {
    if ((*it)->finished.load()) {
      (*it)->thread.join();
      it = jobs_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace lectryn::engine
