#pragma once
// What the desktop benchmarks share: a real page loaded as the program loads it, and percentiles.
#include <algorithm>
#include <memory>
#include <vector>

#include "RealPages.h"
#include "engine/Document.h"
#include "engine/load/BrowserControl.h"
#include "platform/Text.h"
#include "system/PlainUiLoop.h"

namespace lectryn::bench {

// A file as the program loads it; a joined page straight from its bytes.
inline std::shared_ptr<engine::Document> LoadPage(const PageFile& page) {
  if (page.path.empty()) return engine::Document::Parse(page.bytes, u"file:///joined.html");
  system::PlainUiLoop loop;
  engine::BrowserControl control(loop);
  control.Navigate(platform::FromUtf8(page.path));
  loop.Run([&] { return control.ReadyState() == static_cast<int32_t>(platform::ReadyState::Complete); });
  return std::dynamic_pointer_cast<engine::Document>(control.Document());
}

inline double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

}  // namespace lectryn::bench
