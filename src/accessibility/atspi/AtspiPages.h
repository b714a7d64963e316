#pragma once
// Web pages of other programs (browsers) through the accessibility bus. Called from the UI
// thread; every call is bounded and throws platform::Failure when the program or the bus does not
// answer in time.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/PageBus.h"
#include "accessibility/atspi/AtspiWorker.h"
#include "accessibility/atspi/BackgroundReader.h"
#include "accessibility/atspi/FocusedText.h"
#include "accessibility/atspi/PageReports.h"

namespace lectryn::accessibility::atspi {

struct Session;

class AtspiPages : public PageBus {
 public:
  // post queues a task on the UI loop (UiLoop::Post); reports hears of what fails while nobody
  // waits for it (highlights the browser did not take, page changes that cannot be followed).
  explicit AtspiPages(AtspiWorker::PostFunction post, PageReports reports = {});
  ~AtspiPages() override;
  AtspiPages(const AtspiPages&) = delete;
  AtspiPages& operator=(const AtspiPages&) = delete;

  // The web document that program pid shows in the window at windowScreenRect (the program's
  // frame that matches the window best); nullopt when it shows none.
  std::optional<AxRef> WebDocumentOf(int32_t pid, AxExtents windowScreenRect) override;
  // The document's objects as they are now.
  AxNode ReadTree(AxRef document) override;
  // On a thread and bus connection of its own (on the worker where it has none).
  void ReadTreeLater(AxRef document, std::function<void(std::optional<AxNode> tree)> done) override;
  std::optional<AxNode> ReadPartOf(AxRef document, const std::vector<AxRef>& chain, int32_t screenX,
                                   int32_t screenY) override;
  std::shared_ptr<AxBridge> Bridge(AxRef document) override;
  // changed runs on the UI thread when a page of a document we found may have changed (loaded,
  // reloaded, objects or text changed anywhere in its program). Returns an id for
  // StopPageChanged.
  int OnPageChanged(std::function<void(AxRef document)> changed) override;
  void StopPageChanged(int id) override;

  // The text the user last focused, put the caret in or selected in, in a program other than
  // this one, as it is now; nullopt when no such object (still) has text.
  std::optional<FocusedText> Focused();
  // The first selection of each of objects that holds one, in the order given; none when they
  // are what our own highlight set last.
  std::vector<ObjectSelection> SelectionsIn(std::vector<AxRef> objects);
  // Where the caret stands among objects (given in the page's order, each before what it holds),
  // as a collapsed selection in the innermost object that has it; nullopt when none has, or when
  // it is where our own highlight left it. Programs do not tell of caret moves in a window that is
  // not active, so the events alone can miss a click.
  std::optional<ObjectSelection> CaretIn(std::vector<AxRef> objects);

  // Bounds of the calls that may take long on big pages.
  static constexpr int32_t kReadTreeTimeoutMs = 15000;
  static constexpr int32_t kFindTimeoutMs = 4000;
  static constexpr int32_t kPartTimeoutMs = 2000;

 private:
  std::shared_ptr<Session> session_;
  std::unique_ptr<BackgroundReader> reader_;  // goes before the session it reads for
};

}  // namespace lectryn::accessibility::atspi
