#pragma once
// The browser's own style sheet: how HTML elements look before a page says anything, after
// the rendering section of the HTML standard. Parsed once per process.
#include "engine/css/RuleSet.h"

namespace lectryn::engine::css {

const RuleSet& UserAgentRules();
// What the browser adds to its sheet for pages in quirks mode.
const RuleSet& QuirksModeRules();

}  // namespace lectryn::engine::css
