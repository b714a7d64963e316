#pragma once
// Pages of the user's web browsers as page documents: which of a browser's windows shows a page,
// and a snapshot of that page, read through the bus once per document and address and again
// after the browser said the page changed. Nothing read leaves the program.
//
// A drag asks many times a second; the bus is asked about a window at most once per second, and
// the window's place at most every 50 ms while a page's geometry is used.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "accessibility/AxTree.h"
#include "accessibility/BrowserDocument.h"
#include "accessibility/PageBus.h"

namespace lectryn::accessibility {

using WindowId = uint64_t;

// A top-level window of another program.
struct BrowserWindow {
  WindowId id = 0;
  int32_t pid = 0;   // 0 when the program does not say: no page is looked for
  AxExtents client;  // the window's inside, screen pixels
};

// A page read in parts: the part under the pointer when a point is first asked for, and the whole
// page meanwhile on the bus's own time.
std::shared_ptr<BrowserDocument> ReadInParts(PageBus& bus, AxRef document, std::shared_ptr<AxBridge> bridge,
                                             std::u16string url, BrowserDocument::ClientOrigin clientOrigin);

class WindowPages {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // The window as it is now; nullopt once it is gone.
  using Describe = std::function<std::optional<BrowserWindow>(WindowId)>;

  static constexpr std::chrono::milliseconds kRecheck{1000};
  static constexpr std::chrono::milliseconds kOriginKept{50};

  // bus outlives this; describe and clock are kept by the documents handed out too.
  WindowPages(PageBus& bus, Describe describe, Clock clock = std::chrono::steady_clock::now);
  ~WindowPages();
  WindowPages(const WindowPages&) = delete;
  WindowPages& operator=(const WindowPages&) = delete;

  // False also when the program does not answer in time.
  bool ShowsPage(const BrowserWindow& window);
  // Whether the program answered the last time the window's page was looked for: a "no" from a
  // program that did not answer says nothing about its pages.
  bool Answered(WindowId window) const;
  // The page the window shows, in its client coordinates; Nothing when none or when the program
  // does not answer in time.
  std::shared_ptr<BrowserDocument> Document(const BrowserWindow& window);

 private:
  struct Shown {
    std::optional<AxRef> document;
    std::chrono::steady_clock::time_point checked;
    bool answered = true;
  };
  struct Page {
    std::u16string url;
    std::shared_ptr<AxBridge> bridge;  // the page's live calls, kept with it
    std::shared_ptr<BrowserDocument> document;
    bool stale = false;
  };
  std::optional<AxRef> DocumentOf(const BrowserWindow& window);
  std::shared_ptr<BrowserDocument> Snapshot(AxRef ref, const BrowserWindow& window);

  PageBus& bus_;
  Describe describe_;
  Clock clock_;
  std::map<WindowId, Shown> shown_;
  std::map<AxRef, Page> pages_;
  int listener_ = 0;
};

}  // namespace lectryn::accessibility
