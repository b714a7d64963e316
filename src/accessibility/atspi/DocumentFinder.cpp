#include "accessibility/atspi/DocumentFinder.h"

#include <atspi/atspi-constants.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "accessibility/atspi/Interfaces.h"

namespace lectryn::accessibility::atspi {
namespace {

constexpr int64_t kPlacelessRetryMs = 10000;

int64_t Overlap(const AxExtents& a, const AxExtents& b) {
  int64_t width = std::min<int64_t>(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
  int64_t height = std::min<int64_t>(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
  return width > 0 && height > 0 ? width * height : 0;
}

}  // namespace

int32_t BestFrame(const std::vector<AxExtents>& candidates, const AxExtents& window) {
  int32_t best = -1;
  int64_t bestOverlap = 0;
  int64_t bestMismatch = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const AxExtents& frame = candidates[i];
    int64_t overlap = Overlap(frame, window);
    int64_t mismatch = std::abs(int64_t{frame.width} - window.width) +
                       std::abs(int64_t{frame.height} - window.height) +
                       std::abs(int64_t{frame.x} - window.x) + std::abs(int64_t{frame.y} - window.y);
    if (overlap > bestOverlap || (overlap == bestOverlap && overlap > 0 && mismatch < bestMismatch)) {
      best = static_cast<int32_t>(i);
      bestOverlap = overlap;
      bestMismatch = mismatch;
    }
  }
  return best;
}

bool SamePlace(const AxExtents& frame, const AxExtents& window) {
  int64_t overlap = Overlap(frame, window);
  int64_t frameArea = int64_t{frame.width} * frame.height;
  int64_t windowArea = int64_t{window.width} * window.height;
  return overlap > 0 && overlap * 10 >= frameArea * 9 && overlap * 10 >= windowArea * 9;
}

std::map<int32_t, BusObject> DocumentFinder::Applications() {
  std::vector<BusObject> apps =
      client_.Call(bus::Method(bus::kRegistryRoot, bus::kAccessible, "GetChildren"), timeoutMs_).Objects();
  std::vector<Request> requests;
  for (const BusObject& app : apps) {
    requests.push_back(
        bus::Method(bus::kBusDaemon, "org.freedesktop.DBus", "GetConnectionUnixProcessID", Strings({app.name})));
  }
  std::vector<Reply> pids = client_.CallAll(requests, timeoutMs_);
  std::map<int32_t, BusObject> byPid;
  for (size_t i = 0; i < apps.size(); ++i) {
    if (pids[i].Ok()) byPid[static_cast<int32_t>(pids[i].Uint32())] = apps[i];
  }
  return byPid;
}

std::optional<BusObject> DocumentFinder::ApplicationOf(int32_t pid) {
  auto cached = applications_.find(pid);
  if (cached != applications_.end()) return cached->second;
  applications_ = Applications();
  cached = applications_.find(pid);
  if (cached == applications_.end()) return std::nullopt;
  return cached->second;
}

std::optional<BusObject> DocumentFinder::ShowingDocument(const BusObject& frame) {
  Reply reply = client_.Call(bus::Method(frame, bus::kCollection, "GetMatches",
                                         MatchRule({ATSPI_STATE_SHOWING}, {ATSPI_ROLE_DOCUMENT_WEB}, 0)),
                             timeoutMs_);
  // Tree order puts the page's own document before the documents of its frames.
  for (const BusObject& document : reply.Objects()) {
    if (!document.IsNull()) return document;
  }
  return std::nullopt;
}

std::optional<AxRef> DocumentFinder::WebDocumentOf(int32_t pid, const AxExtents& window) {
  std::optional<BusObject> app = ApplicationOf(pid);
  if (!app) return WebDocumentByPlace(pid, window);
  Reply children = client_.Call(bus::Method(*app, bus::kAccessible, "GetChildren"), timeoutMs_);
  if (!children.Ok()) {
    // The program left the bus (or a new one has its pid): look again once.
    applications_.erase(pid);
    app = ApplicationOf(pid);
    if (!app) return std::nullopt;
    children = client_.Call(bus::Method(*app, bus::kAccessible, "GetChildren"), timeoutMs_);
  }
  std::vector<BusObject> frames = children.Objects();
  std::vector<Request> requests;
  for (const BusObject& frame : frames) requests.push_back(bus::Extents(frame));
  std::vector<Reply> replies = client_.CallAll(requests, timeoutMs_);
  std::vector<AxExtents> extents;
  for (const Reply& reply : replies) extents.push_back(reply.Extents());
  int32_t best = BestFrame(extents, window);
  if (best < 0) return std::nullopt;
  return Intern(ShowingDocument(frames[static_cast<size_t>(best)]));
}

std::optional<AxRef> DocumentFinder::Intern(const std::optional<BusObject>& document) {
  if (!document) return std::nullopt;
  AxRef ref = table_.Intern(*document);
  table_.AddDocument(ref);
  return ref;
}

std::optional<AxRef> DocumentFinder::WebDocumentByPlace(int32_t pid, const AxExtents& window) {
  int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count();
  if (auto tried = placeless_.find(pid); tried != placeless_.end() && now - tried->second < kPlacelessRetryMs)
    return std::nullopt;
  // Remembered before asking: a program that does not answer costs one wait per while, not one
  // per move.
  placeless_[pid] = now;
  std::vector<Request> requests;
  // Not this program itself: its UI thread waits for this answer, so it could not give one.
  for (const auto& [appPid, app] : applications_)
    if (appPid != getpid()) requests.push_back(bus::Method(app, bus::kAccessible, "GetChildren"));
  std::vector<BusObject> frames;
  for (const Reply& reply : client_.CallAll(requests, timeoutMs_))
    for (BusObject& frame : reply.Objects()) frames.push_back(std::move(frame));
  requests.clear();
  for (const BusObject& frame : frames) requests.push_back(bus::Extents(frame));
  std::vector<Reply> extents = client_.CallAll(requests, timeoutMs_);
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!SamePlace(extents[i].Extents(), window)) continue;
    if (std::optional<AxRef> document = Intern(ShowingDocument(frames[i]))) {
      placeless_.erase(pid);
      return document;
    }
  }
  return std::nullopt;
}

}  // namespace lectryn::accessibility::atspi
