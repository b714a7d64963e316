#pragma once
// Media queries of @media blocks and of <style media>: whether they hold for the screen we lay
// out for: sizes are the view's (one device pixel per CSS pixel), and the rest a desktop's (light
// colours, a mouse). A query we cannot read is false, as browsers treat it.
#include <string_view>

namespace lectryn::engine::css {

// The view styles are resolved for, in CSS pixels.
struct MediaView {
  float widthPx = 1000;
  float heightPx = 800;
  bool operator==(const MediaView&) const = default;
};

// A comma-separated list: true when any of its queries holds; true for an empty list.
bool MatchesMedia(std::string_view queryList, const MediaView& view = {});

}  // namespace lectryn::engine::css
