#pragma once
// Where the maker of the program can be reached. The windows take it as a value, so tests can
// point them at a server of their own.
#include <string>

namespace lectryn::windows {

struct MakerSite {
  std::string host = "lectryn.corvath.example";  // the web site: version page, downloads, home
  std::string forumHost = "forum.corvath.example";
  std::string suggestionsMail = "suggestions@corvath.example";
};

}  // namespace lectryn::windows
