// Times a 2000-paragraph page read from a browser (see CMakeLists.txt for how to run it): the
// snapshot into a page document, one picker move over it, and one spoken word's selection and
// scroll round trip.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "accessibility/BrowserDocument.h"
#include "accessibility/atspi/AtspiPages.h"
#include "platform/WindowSystem.h"

using namespace lectryn::accessibility;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kParagraphs = 2000;
constexpr int kRuns = 5;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int MakePage(const char* path) {
  std::ofstream out(path);
  const char* words[] = {"alpha", "beta", "gamma", "delta", "epsilon",
                         "zeta",  "eta",  "theta", "iota",  "kappa"};
  out << "<!doctype html><html lang=\"en\"><head><meta charset=utf-8><title>Big page</title></head><body>\n";
  for (int p = 0; p < kParagraphs; ++p) {
    std::string half;
    for (int w = 0; w < 19; ++w) half += std::string(words[(p + w) % 10]) + " ";
    out << "<p>" << p << " " << half << "<a href='#a" << p << "'>link " << p << "</a> " << half << "</p>\n";
  }
  out << "</body></html>\n";
  return out ? 0 : 1;
}

size_t Count(const AxNode& node) {
  size_t count = 1;
  for (const AxNode& child : node.children) count += Count(child);
  return count;
}

const AxNode* FirstOf(const AxNode& node, AxRole role) {
  if (node.role == role) return &node;
  for (const AxNode& child : node.children)
    if (const AxNode* found = FirstOf(child, role)) return found;
  return nullptr;
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-28s median %8.1f ms  min %8.1f ms  max %8.1f ms\n", what, ms[ms.size() / 2], ms.front(),
              ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--make-page") == 0) return MakePage(argv[2]);
  const char* pid = std::getenv("LECTRYN_BROWSER_PID");
  if (pid == nullptr) {
    std::fprintf(stderr, "run through tests/e2e/browser-session\n");
    return 2;
  }
  atspi::AtspiPages pages([](std::function<void()>) {});
  AxExtents screen{0, 0, 1280, 1024};
  std::vector<double> read, snapshot, move, word;
  std::shared_ptr<BrowserDocument> page;
  std::shared_ptr<AxBridge> bridge;
  std::optional<AxNode> tree;
  size_t objects = 0;
  for (int run = 0; run < kRuns; ++run) {
    auto start = Clock::now();
    AxRef document = pages.WebDocumentOf(std::atoi(pid), screen).value_or(0);
    if (document == 0) {
      std::fprintf(stderr, "no document\n");
      return 1;
    }
    bridge = pages.Bridge(document);
    std::u16string url = bridge->Url();
    tree = pages.ReadTree(document);
    read.push_back(MsSince(start));
    objects = Count(*tree);
    page = BrowserDocument::Create(*tree, bridge, url, [] { return lectryn::platform::POINTAPI{0, 0}; });
    snapshot.push_back(MsSince(start));
  }
  // What the picker asks of a page at each move over it: within the first paragraph, then from
  // one paragraph to the next (the browser may look the new one up first).
  std::vector<AxExtents> boxes;
  std::function<void(const AxNode&)> collect = [&](const AxNode& node) {
    if (node.role == AxRole::Paragraph && boxes.size() < 2) boxes.push_back(bridge->Extents(node.ref));
    for (const AxNode& child : node.children) collect(child);
  };
  collect(*tree);
  if (boxes.size() < 2) {
    std::fprintf(stderr, "the page has fewer than two paragraphs\n");
    return 1;
  }
  auto pickerMove = [&](int32_t x, int32_t y) {
    auto start = Clock::now();
    auto element = page->elementFromPoint(x, y);
    if (!element || element->innerText().empty()) std::exit(1);
    element = page->elementFromPoint(x, y);
    page->readyState();
    int32_t rect[4] = {element->offsetLeft(), element->offsetTop(), element->offsetWidth(),
                       element->offsetHeight()};
    (void)rect;
    page->body()->scrollTop();
    auto range = page->body()->createTextRange();
    range->moveToElementText(*element);
    return MsSince(start);
  };
  std::vector<double> hop;
  for (int run = 0; run < kRuns * 4; ++run) {
    move.push_back(pickerMove(boxes[0].x + 50 + run, boxes[0].y + boxes[0].height / 2));
  }
  for (int run = 0; run < kRuns * 4; ++run) {
    const AxExtents& box = boxes[static_cast<size_t>(run % 2)];
    hop.push_back(pickerMove(box.x + 50 + run, box.y + box.height / 2));
  }
  // One spoken word: its range selected in the browser and scrolled into view.
  auto range = page->body()->createTextRange();
  range->collapse(true);
  for (int run = 0; run < kRuns * 4; ++run) {
    range->moveEnd(u"word", 1);
    auto start = Clock::now();
    range->select();
    range->scrollIntoView(true);
    word.push_back(MsSince(start));
    range->collapse(false);
  }
  std::printf("%zu objects\n", objects);
  Report("find + read tree", read);
  Report("snapshot (read + document)", snapshot);
  Report("picker move", move);
  Report("picker move to a paragraph", hop);
  Report("word select + scroll", word);
  return 0;
}
