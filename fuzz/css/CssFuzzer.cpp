// The style sheet reader and the cascade. The input is read as a sheet on its own, then used as a
// page's <style> sheet and as a style attribute over elements that most selectors can reach.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FuzzChecks.h"
#include "engine/css/StyleResolver.h"
#include "engine/css/StyleSheet.h"
#include "engine/dom/HtmlParser.h"

using lectryn::fuzz::Require;
namespace css = lectryn::engine::css;
namespace dom = lectryn::engine::dom;

namespace {

constexpr std::string_view kBody =
    "<body class=a id=b lang=en><div class='a b' id=c><p>one <b>two</b> <a href=x>three</a></p>"
    "<ul><li>x<li id=d>y<ol><li>z</ol></ul><table border=1 cellpadding=2><tr><td width=50%>c<th>h"
    "</table><pre>  p</pre><span title=t style=\"color:red\">s</span><img src=i alt=a><br>"
    "<input type=text value=v><select><option>o</select><h1 align=center>h</h1>"
    "<font size=7 color=blue face=serif>f</font><iframe src=f></iframe></div></body>";

// A style attribute cannot hold the quote that ends it; anything else is the sheet as it is.
std::string AsAttribute(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '"' ? '\'' : c;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  css::StyleSheet sheet;
  css::ParseStyleSheet(text, sheet);
  for (const css::Rule& rule : sheet.rules)
    Require(rule.block < sheet.blocks.size(), "a rule's block exists");

  std::string page = "<html><head><style>" + std::string(text) + "</style></head>" + std::string(kBody);
  std::string attribute = "<p style=\"" + AsAttribute(text) + "\">styled</p>";
  page.insert(page.find("<div"), attribute);
  dom::Tree tree;
  dom::ParseDocument(page, tree);
  std::vector<css::ComputedStyle> styles = css::ResolveStyles(tree);
  Require(styles.size() == static_cast<size_t>(tree.Size()), "every node has a style");
  // A small view too: other media queries hold and viewport units change.
  css::ViewDependence dependence;
  styles = css::ResolveStyles(tree, {320, 480}, &dependence);
  Require(styles.size() == static_cast<size_t>(tree.Size()), "every node has a style at any view");
  return 0;
}
