#pragma once
// What both browser objects do with an address: fetch it on a worker thread, parse it into a
// Document on the UI thread, load its frames, and step the ready state 1 (loading), 3
// (interactive: the page is parsed and installed) and 4 (complete: its frames are attached).
// Everything here runs on the UI thread; results of workers arrive as tasks on the loop.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/load/Fetcher.h"
#include "platform/Page.h"
#include "platform/UiLoop.h"

namespace lectryn::engine {

class Document;

struct LoadOptions {
  FetchLimits limits;
  int maxFrameDepth = 3;  // frames of frames of frames, no deeper
  int maxFrames = 32;     // attached per page, all depths together
};

class Navigator {
 public:
  Navigator(platform::UiLoop& loop, LoadOptions options);
  ~Navigator();
  Navigator(const Navigator&) = delete;
  Navigator& operator=(const Navigator&) = delete;

  // Returns at once with the ready state at 1; the current document stays until the new one
  // replaces it (and is then discarded). A plain path is shown as a file:// address.
  void Navigate(const std::u16string& address);
  // Loads the address shown again; nothing before the first navigation.
  void Refresh();
  // Ends loading and discards the document; the state goes back to 0.
  void Stop();

  platform::ReadyState State() const { return state_; }
  std::shared_ptr<Document> CurrentDocument() const { return document_; }
  // After redirects once the page has arrived; before that, the address being loaded.
  std::u16string LocationURL() const;
  // Why the last navigation failed ("cannot load http://x/: HTTP 404"); empty after a success.
  std::u16string LastError() const;

  // Runs on the UI thread after each change of the ready state, with the new state.
  void SetOnReadyStateChange(std::function<void(platform::ReadyState)> observer);

 private:
  void OnPage(FetchedPage page);
  void LoadFrames(const std::shared_ptr<Document>& owner, const std::string& ownerAddress, int depth);
  void OnFrame(const std::weak_ptr<Document>& owner, const platform::ElementPtr& element, int depth,
               FetchedPage page);
  void FinishWhenFramesAreIn();
  void SetState(platform::ReadyState state);
  // The page and its frames are gone together: ranges into any of them must fail.
  void DiscardPage();

  platform::UiLoop& loop_;
  LoadOptions options_;
  Fetcher fetcher_;
  std::shared_ptr<Document> document_;
  std::vector<std::weak_ptr<Document>> frameDocuments_;  // attached to document_, all depths
  platform::ReadyState state_ = platform::ReadyState::Uninitialized;
  std::string location_;
  std::string pageAddress_;  // of the page being loaded, for the frames' origin
  std::string lastError_;
  uint64_t navigation_ = 0;  // tasks of an older navigation see a different number
  int framesPending_ = 0;
  int framesStarted_ = 0;
  std::function<void(platform::ReadyState)> observer_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // guards tasks posted to the loop
};

// The page shown for a load that failed: its body text is the message.
std::string ErrorPageHtml(const std::string& message);

}  // namespace lectryn::engine
