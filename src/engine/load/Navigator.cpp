#include "engine/load/Navigator.h"

#include "engine/Document.h"
#include "engine/load/Address.h"
#include "platform/Text.h"

namespace lectryn::engine {

std::string ErrorPageHtml(const std::string& message) {
  return "<!DOCTYPE html><html><head><title>Page not loaded</title></head><body><p>" + EscapeHtml(message) +
         "</p></body></html>";
}

Navigator::Navigator(platform::UiLoop& loop, LoadOptions options)
    : loop_(loop), options_(options), fetcher_(loop, options.limits) {}

Navigator::~Navigator() = default;

void Navigator::Navigate(const std::u16string& address) {
  fetcher_.CancelAll();
  ++navigation_;
  framesPending_ = 0;
  framesStarted_ = 0;
  location_ = NormalizeAddress(platform::TrimAsciiSpace(platform::ToUtf8(address)));
  pageAddress_.clear();
  lastError_.clear();
  fetcher_.Start(location_, [this](FetchedPage page) { OnPage(std::move(page)); });
  SetState(platform::ReadyState::Loading);
}

void Navigator::Refresh() {
  if (location_.empty()) return;
  Navigate(platform::FromUtf8(location_));
}

void Navigator::Stop() {
  fetcher_.CancelAll();
  ++navigation_;
  DiscardPage();
  SetState(platform::ReadyState::Uninitialized);
}

std::u16string Navigator::LocationURL() const {
  return platform::FromUtf8(location_);
}

std::u16string Navigator::LastError() const {
  return platform::FromUtf8(lastError_);
}

void Navigator::SetOnReadyStateChange(std::function<void(platform::ReadyState)> observer) {
  observer_ = std::move(observer);
}

void Navigator::OnPage(FetchedPage page) {
  uint64_t navigation = navigation_;
  std::shared_ptr<Document> document;
  if (page.ok) {
    location_ = page.address;
    document = Document::Parse(page.html, platform::FromUtf8(page.address));
    document->SetContentLanguage(platform::FromUtf8(page.contentLanguage));
  } else {
    lastError_ = page.error;
    document = Document::Parse(ErrorPageHtml(page.error), platform::FromUtf8(location_));
  }
  pageAddress_ = location_;
  document->SetReadyState(u"interactive");
  DiscardPage();
  document_ = document;
  SetState(platform::ReadyState::Interactive);
  if (navigation != navigation_) return;  // the observer went somewhere else
  if (page.ok) LoadFrames(document, page.address, 1);
  FinishWhenFramesAreIn();
}

void Navigator::LoadFrames(const std::shared_ptr<Document>& owner, const std::string& ownerAddress,
                           int depth) {
  if (depth > options_.maxFrameDepth) return;
  for (const Document::FrameSlot& slot : owner->Frames()) {
    if (framesStarted_ >= options_.maxFrames) return;
    std::optional<std::string> address = ResolveAddress(ownerAddress, platform::ToUtf8(slot.src));
    // Frames of other origins stay empty: the engine reads one site's pages only.
    if (!address || !SameOrigin(pageAddress_, *address)) continue;
    ++framesStarted_;
    ++framesPending_;
    std::weak_ptr<Document> weakOwner = owner;
    fetcher_.Start(*address, [this, weakOwner, element = slot.element, depth](FetchedPage page) {
      OnFrame(weakOwner, element, depth, std::move(page));
    });
  }
}

void Navigator::OnFrame(const std::weak_ptr<Document>& weakOwner, const platform::ElementPtr& element,
                        int depth, FetchedPage page) {
  --framesPending_;
  std::shared_ptr<Document> owner = weakOwner.lock();
  // A frame that cannot be loaded stays empty; the page itself is still good.
  if (owner && !owner->Discarded() && page.ok) {
    auto frame = Document::Parse(page.html, platform::FromUtf8(page.address));
    frame->SetContentLanguage(platform::FromUtf8(page.contentLanguage));
    owner->AttachFrameDocument(element, frame);
    frameDocuments_.push_back(frame);
    LoadFrames(frame, page.address, depth + 1);
  }
  FinishWhenFramesAreIn();
}

void Navigator::FinishWhenFramesAreIn() {
  if (framesPending_ > 0) return;
  // A task of its own, so that a wait loop between the two sees state 3 before state 4.
  loop_.Post([this, alive = std::weak_ptr<int>(alive_), navigation = navigation_] {
    if (alive.expired() || navigation != navigation_ || !document_) return;
    document_->SetReadyState(u"complete");
    SetState(platform::ReadyState::Complete);
  });
}

void Navigator::DiscardPage() {
  for (const auto& weakFrame : frameDocuments_)
    if (auto frame = weakFrame.lock()) frame->Discard();
  frameDocuments_.clear();
  if (document_) document_->Discard();
  document_.reset();
}

void Navigator::SetState(platform::ReadyState state) {
  if (state == state_) return;
  state_ = state;
  if (observer_) observer_(state);
}

}  // namespace lectryn::engine
