#include "desktop/LineBreaks.h"

namespace lectryn::desktop {
namespace {

bool PairAt(std::u16string_view text, size_t at) {
  return at + 1 < text.size() && text[at] == u'\r' && text[at + 1] == u'\n';
}

}  // namespace

std::u16string EditorText(std::u16string_view modelText) {
  std::u16string shown;
  shown.reserve(modelText.size());
  for (size_t at = 0; at < modelText.size(); ++at) {
    if (PairAt(modelText, at)) continue;  // the '\n' that follows stands for the pair
    shown += modelText[at];
  }
  return shown;
}

std::u16string ModelText(std::u16string_view editorText) {
  std::u16string kept;
  kept.reserve(editorText.size());
  for (char16_t unit : editorText) {
    if (unit == u'\n') kept += u'\r';
    kept += unit;
  }
  return kept;
}

int EditorOffset(std::u16string_view modelText, int modelOffset) {
  int editor = 0;
  for (size_t at = 0; at < modelText.size() && static_cast<int>(at) < modelOffset; ++at) {
    if (PairAt(modelText, at)) ++at;
    ++editor;
    if (static_cast<int>(at) >= modelOffset) return editor - 1;  // inside the pair: on the break
  }
  return editor;
}

int ModelOffset(std::u16string_view modelText, int editorOffset) {
  size_t at = 0;
  for (int editor = 0; editor < editorOffset && at < modelText.size(); ++editor)
    at += PairAt(modelText, at) ? 2 : 1;
  return static_cast<int>(at);
}

}  // namespace lectryn::desktop
