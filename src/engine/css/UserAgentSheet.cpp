#include "engine/css/UserAgentSheet.h"

namespace lectryn::engine::css {
namespace {

// Selectors keep a type in their rightmost compound where they can, so that the rule set files
// them by type and an element is tested against few of them.
constexpr const char* kSheet = R"css(
area, base, basefont, datalist, head, link, meta, noembed, noframes, param, rp, script, style,
template, title { display: none }
[hidden]:not([hidden=until-found i]):not(embed) { display: none }
embed[hidden] { display: inline; width: 0; height: 0 }
input[type=hidden i] { display: none !important }
dialog:not([open]), audio:not([controls]) { display: none }

html, body, address, blockquote, center, dialog, div, figure, figcaption, footer, form, header, hr,
legend, listing, main, p, plaintext, pre, search, xmp, article, aside, h1, h2, h3, h4, h5, h6,
hgroup, nav, section, dir, dd, dl, dt, menu, ol, ul, details, summary, fieldset, frameset,
optgroup, option { display: block }
li { display: list-item }
input, select, button, textarea, meter, progress, marquee { display: inline-block }
input[type=checkbox i] { margin: 3px 3px 3px 4px }
input[type=radio i] { margin: 3px 3px 0 5px }
input, select, button, textarea { text-transform: none }

body { margin: 8px }
p, blockquote, figure, listing, plaintext, pre, xmp, dl, dir, menu, ol, ul {
  margin-top: 1em; margin-bottom: 1em }
:is(dir, dl, menu, ol, ul) dir, :is(dir, dl, menu, ol, ul) dl, :is(dir, dl, menu, ol, ul) menu,
:is(dir, dl, menu, ol, ul) ol, :is(dir, dl, menu, ol, ul) ul { margin-top: 0; margin-bottom: 0 }
blockquote, figure { margin-left: 40px; margin-right: 40px }
dd { margin-left: 40px }
dir, menu, ol, ul { padding-left: 40px }
ol { list-style-type: decimal }
dir, menu, ul { list-style-type: disc }
:is(dir, menu, ol, ul) dir, :is(dir, menu, ol, ul) menu, :is(dir, menu, ol, ul) ul {
  list-style-type: circle }
:is(dir, menu, ol, ul) :is(dir, menu, ol, ul) dir, :is(dir, menu, ol, ul) :is(dir, menu, ol, ul) menu,
:is(dir, menu, ol, ul) :is(dir, menu, ol, ul) ul { list-style-type: square }

h1 { margin-top: 0.67em; margin-bottom: 0.67em; font-size: 2em }
h2 { margin-top: 0.83em; margin-bottom: 0.83em; font-size: 1.5em }
h3 { margin-top: 1em; margin-bottom: 1em; font-size: 1.17em }
h4 { margin-top: 1.33em; margin-bottom: 1.33em; font-size: 1em }
h5 { margin-top: 1.67em; margin-bottom: 1.67em; font-size: 0.83em }
h6 { margin-top: 2.33em; margin-bottom: 2.33em; font-size: 0.67em }
h1, h2, h3, h4, h5, h6, th { font-weight: bold }

address, cite, dfn, em, i, var { font-style: italic }
b, strong { font-weight: bolder }
code, kbd, samp, tt, listing, plaintext, pre, xmp { font-family: monospace }
listing, plaintext, pre, xmp { white-space: pre }
textarea { white-space: pre-wrap }
nobr { white-space: nowrap }
big { font-size: larger }
small { font-size: smaller }
sub { vertical-align: sub; font-size: smaller; line-height: normal }
sup { vertical-align: super; font-size: smaller; line-height: normal }
mark { background-color: yellow; color: black }
ins, u, abbr[title], acronym[title] { text-decoration: underline }
del, s, strike { text-decoration: line-through }
a:link { color: #0000ee; text-decoration: underline }
center { text-align: -webkit-center }

hr { color: gray; border-style: inset; border-width: 1px; margin: 0.5em auto; overflow: hidden }
fieldset { margin-left: 2px; margin-right: 2px; border: 2px groove threedface;
  padding: 0.35em 0.75em 0.625em }
legend { padding-left: 2px; padding-right: 2px }
iframe { border: 2px inset }

table { display: table; box-sizing: border-box; border-spacing: 2px; border-collapse: separate;
  text-indent: 0 }
caption { display: table-caption; text-align: center }
colgroup { display: table-column-group }
col { display: table-column }
thead { display: table-header-group; vertical-align: middle }
tbody { display: table-row-group; vertical-align: middle }
tfoot { display: table-footer-group; vertical-align: middle }
tr { display: table-row; vertical-align: inherit }
td, th { display: table-cell; vertical-align: inherit; padding: 1px }
th { text-align: center }
table, td, th { border-color: gray }
thead, tbody, tfoot, tr { border-color: inherit }
)css";

// Pages without a standards doctype were written for browsers whose tables did not inherit the
// text's size, weight, style and alignment.
constexpr const char* kQuirksSheet = R"css(
table { white-space: normal; line-height: normal; font-weight: normal; font-size: medium;
  font-style: normal; text-align: start }
)css";

RuleSet ParsedRules(const char* text) {
  StyleSheet sheet;
  ParseStyleSheet(text, sheet);
  return RuleSet(std::move(sheet));
}

}  // namespace

const RuleSet& UserAgentRules() {
  static const RuleSet rules = ParsedRules(kSheet);
  return rules;
}

const RuleSet& QuirksModeRules() {
  static const RuleSet rules = ParsedRules(kQuirksSheet);
  return rules;
}

}  // namespace lectryn::engine::css
