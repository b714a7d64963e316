#pragma once
// A multi-line text box's model keeps "\r\n" line breaks, as the platform's text box does; Qt's
// editors keep "\n". These map texts and UTF-16 offsets between the two.
#include <string>
#include <string_view>

namespace lectryn::desktop {

// The model's text as an editor shows it: every "\r\n" becomes "\n".
std::u16string EditorText(std::u16string_view modelText);
// An editor's text as the model keeps it: every "\n" becomes "\r\n".
std::u16string ModelText(std::u16string_view editorText);
// The editor offset of a model offset; one inside a "\r\n" pair lands on the break.
int EditorOffset(std::u16string_view modelText, int modelOffset);
// The model offset of an editor offset, counted over the model's text.
int ModelOffset(std::u16string_view modelText, int editorOffset);

}  // namespace lectryn::desktop
