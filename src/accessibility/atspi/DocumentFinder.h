#pragma once
// Finds the web document a program shows in one of its windows. Worker thread only.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/BusClient.h"
#include "accessibility/atspi/ObjectTable.h"

namespace lectryn::accessibility::atspi {

// The one of candidates that covers most of window (screen pixels); ties go to the closer size.
// -1 when none overlaps it.
int32_t BestFrame(const std::vector<AxExtents>& candidates, const AxExtents& window);
// Whether a frame lies where the window is: each covers nearly all of the other.
bool SamePlace(const AxExtents& frame, const AxExtents& window);

class DocumentFinder {
 public:
  DocumentFinder(BusClient& client, ObjectTable& table, int32_t callTimeoutMs)
      : client_(client), table_(table), timeoutMs_(callTimeoutMs) {}

  std::optional<AxRef> WebDocumentOf(int32_t pid, const AxExtents& window);
  // The desktop's programs, with their process ids.
  std::map<int32_t, BusObject> Applications();
  // The page's own showing document under a frame (not one of its frames' documents).
  std::optional<BusObject> ShowingDocument(const BusObject& frame);

 private:
  std::optional<BusObject> ApplicationOf(int32_t pid);
  // A sandboxed program's windows carry a process id of its own sandbox, which the bus does not
  // know: its frame is found by its place instead.
  std::optional<AxRef> WebDocumentByPlace(int32_t pid, const AxExtents& window);
  std::optional<AxRef> Intern(const std::optional<BusObject>& document);

  BusClient& client_;
  ObjectTable& table_;
  int32_t timeoutMs_;
  std::map<int32_t, BusObject> applications_;  // by pid; programs come and go rarely
  // Windows whose place matched no program's frame, by pid, with when (steady clock, ms): looked
  // for again only after a while, since the search asks every program.
  std::map<int32_t, int64_t> placeless_;
};

}  // namespace lectryn::accessibility::atspi
