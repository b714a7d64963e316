#pragma once
// text-transform applied to a run of text in a language's case rules (Turkish and Azeri dotted
// and dotless i, Lithuanian dots, Greek accents). A case change may change the length (German
// sharp s becomes "SS", a ligature its letters), so every unit of the result says which unit of
// the source it came from.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/css/ComputedStyle.h"

namespace lectryn::engine::text {

struct CasedText {
  std::u16string text;
  std::vector<int32_t> sourceOffsets;  // per unit of text: the UTF-16 offset in the source
};

// Capitalize needs to know whether the run starts a word; `wordStart` says so and is left saying
// whether the text after the run would. `language` is a BCP 47 tag ("tr", "az-Latn"), empty when
// unknown.
class CaseTransform {
 public:
  CaseTransform(css::TextTransform transform, std::string_view language);

  CasedText Apply(std::u16string_view text, bool& wordStart) const;
  // Whether a letter after `text` starts a word.
  static bool StartsWordAfter(std::u16string_view text);

 private:
  css::TextTransform transform_;
  std::string locale_;  // ICU's form of the language
};

}  // namespace lectryn::engine::text
