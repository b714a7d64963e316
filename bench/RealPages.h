#pragma once
// The large real pages the benchmarks measure: the biggest HTML manuals that Debian's python3.11-doc
// and bash-doc install, from 0.4 to 0.9 MB, largest first.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace lectryn::bench {

struct PageFile {
  std::string name;  // "library/stdtypes.html"
  std::string path;
  std::string bytes;
};

inline std::vector<PageFile> FindRealPages(size_t most = 3) {
  std::vector<std::pair<uintmax_t, std::filesystem::path>> found;
  for (const char* root : {"/usr/share/doc/python3.11/html", "/usr/share/doc/bash"}) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      const auto& path = it->path();
      if (!it->is_regular_file() || (path.extension() != ".html" && path.extension() != ".htm")) continue;
      uintmax_t size = it->file_size();
      if (size >= 400 * 1024 && size <= 900 * 1024) found.emplace_back(size, path);
    }
  }
  std::sort(found.rbegin(), found.rend());
  std::vector<PageFile> pages;
  for (size_t i = 0; i < found.size() && i < most; ++i) {
    std::ifstream in(found[i].second, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    pages.push_back(
        {found[i].second.parent_path().filename().string() + "/" + found[i].second.filename().string(),
         found[i].second.string(), bytes.str()});
  }
  return pages;
}

// The pages one after another in one page of at least minBytes, as a long manual would be: the
// parser takes the later documents' content into the first one's body. No path: it is not a file.
inline PageFile JoinedPage(const std::vector<PageFile>& pages, size_t minBytes) {
  PageFile joined;
  for (const PageFile& page : pages) {
    if (joined.bytes.size() >= minBytes) break;
    joined.name += (joined.name.empty() ? "" : "+") + page.name;
    joined.bytes += page.bytes;
  }
  return joined;
}

}  // namespace lectryn::bench
