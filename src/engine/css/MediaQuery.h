#pragma once
// Media queries of @media blocks and of <style media>: whether they hold for the screen we lay
// out for. Styles are resolved once per document, so sizes are tested against the default view
// (kMediaViewWidth x kMediaViewHeight CSS pixels, one device pixel per CSS pixel, light colours,
// a mouse). A query we cannot read is false, as browsers treat it.
#include <string_view>

namespace lectryn::engine::css {

inline constexpr float kMediaViewWidth = 1000;  // CSS pixels
inline constexpr float kMediaViewHeight = 800;

// A comma-separated list: true when any of its queries holds; true for an empty list.
bool MatchesMedia(std::string_view queryList);

}  // namespace lectryn::engine::css
