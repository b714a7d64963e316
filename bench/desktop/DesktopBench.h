#pragma once
// What the desktop benchmarks share: a real page loaded as the program loads it, and percentiles.
#include <algorithm>
#include <memory>
#include <vector>

#include "RealPages.h"
#include "app/PageLoading.h"
#include "engine/Document.h"
#include "system/PlainUiLoop.h"

namespace lectryn::bench {

// A file as the program loads it; a joined page straight from its bytes.
inline std::shared_ptr<engine::Document> LoadPage(const PageFile& page) {
  if (page.path.empty()) return engine::Document::Parse(page.bytes, u"file:///joined.html");
  system::PlainUiLoop loop;
  std::string error;
  return app::LoadPage(loop, page.path, error);
}

inline double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

}  // namespace lectryn::bench
