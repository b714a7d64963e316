// Times reading a 2000-paragraph page from a browser (see CMakeLists.txt for how to run it).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "accessibility/atspi/AtspiPages.h"

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
  out << "<!doctype html><html><head><meta charset=utf-8><title>Big page</title></head><body>\n";
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

const AxNode* Last(const AxNode& node, AxRole role) {
  const AxNode* found = node.role == role ? &node : nullptr;
  for (const AxNode& child : node.children) {
    if (const AxNode* deeper = Last(child, role)) found = deeper;
  }
  return found;
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
  std::vector<double> read, point, select;
  AxNode tree;
  AxRef document = 0;
  for (int run = 0; run < kRuns; ++run) {
    auto start = Clock::now();
    document = pages.WebDocumentOf(std::atoi(pid), screen).value_or(0);
    if (document == 0) {
      std::fprintf(stderr, "no document\n");
      return 1;
    }
    tree = pages.ReadTree(document);
    read.push_back(MsSince(start));
  }
  auto bridge = pages.Bridge(document);
  const AxNode* paragraph = Last(tree, AxRole::Paragraph);
  for (int run = 0; run < kRuns; ++run) {
    auto start = Clock::now();
    AxExtents box = bridge->Extents(tree.children.front().ref);
    bridge->ObjectsAtPoint(box.x + box.width / 2, box.y + box.height / 2);
    point.push_back(MsSince(start));
    start = Clock::now();
    bridge->Select(paragraph->ref, 2 + run, 8 + run);
    bridge->ScrollTo(paragraph->ref, 2 + run, 8 + run);
    select.push_back(MsSince(start));
  }
  std::printf("%zu objects\n", Count(tree));
  Report("WebDocumentOf + ReadTree", read);
  Report("Extents + ObjectsAtPoint", point);
  Report("Select + ScrollTo", select);
  return 0;
}
