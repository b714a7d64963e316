#include "app/SelectionReading.h"

#include <algorithm>
#include <optional>

#include "accessibility/WindowPages.h"
#include "accessibility/atspi/AtspiPages.h"
#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "windows/main/frmMain.h"

namespace lectryn::app {
namespace {

using accessibility::AxNode;
using accessibility::AxRef;
using accessibility::AxRole;

void TextObjects(const AxNode& node, std::vector<AxRef>& objects) {
  if (node.hasText && !node.hidden && !node.isProtected && node.role != AxRole::Password)
    objects.push_back(node.ref);
  for (const AxNode& child : node.children) TextObjects(child, objects);
}

// Text boxes of the text-to-speech window break lines at "\r\n", as the old platform's did.
std::u16string WindowsLines(const std::u16string& text) {
  std::u16string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) lines += u'\r';
    lines += text[i];
  }
  return lines;
}

// The characters [start, end) of text, counted in code points as the bus counts them.
std::u16string CodePoints(const std::u16string& text, int32_t start, int32_t end) {
  size_t unit = 0;
  size_t from = text.size();
  for (int32_t point = 0; unit < text.size(); ++point) {
    if (point == start) from = unit;
    if (point == end) return text.substr(from, unit - from);
    bool pair = unit + 1 < text.size() && text[unit] >= 0xD800 && text[unit] < 0xDC00 && text[unit + 1] >= 0xDC00 &&
                text[unit + 1] < 0xE000;
    unit += pair ? 2 : 1;
  }
  return from < text.size() ? text.substr(from) : std::u16string();
}

platform::TxtRangePtr ToEndOf(const platform::TxtRangePtr& caret, platform::IHTMLElement& element) {
  platform::TxtRangePtr whole = caret->duplicate();
  whole->moveToElementText(element);
  platform::TxtRangePtr range = caret->duplicate();
  range->setEndPoint(u"EndToEnd", *whole);
  return range;
}

bool LineBreak(const std::u16string& text) {
  return !text.empty() && (text[0] == u'\r' || text[0] == u'\n');
}

bool Blank(const std::u16string& text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= u' ' || c == u'\u00A0'; });
}

}  // namespace

AxNode OneObjectPage(AxRef container, AxRef object, std::u16string text) {
  AxNode paragraph;
  paragraph.ref = object;
  paragraph.role = AxRole::Paragraph;
  paragraph.hasText = true;
  paragraph.text = std::move(text);
  AxNode page;
  page.ref = container;
  page.role = AxRole::Document;
  page.children.push_back(std::move(paragraph));
  return page;
}

platform::TxtRangePtr AtWordStart(const platform::TxtRangePtr& caret) {
  if (!caret) return nullptr;
  auto wordly = [](const std::u16string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char16_t c) {
      return c > u' ' && c != u'\u00A0' && !std::iswpunct(static_cast<wint_t>(c));
    });
  };
  platform::TxtRangePtr after = caret->duplicate();
  after->moveEnd(u"character", 1);
  platform::TxtRangePtr back = caret->duplicate();
  back->moveStart(u"word", -1);
  if (!wordly(after->text()) || !wordly(back->text())) return caret;
  back->collapse(true);
  return back;
}

platform::TxtRangePtr ToEndOfElement(const platform::TxtRangePtr& clicked) {
  platform::TxtRangePtr caret = AtWordStart(clicked);
  if (!caret) return nullptr;
  platform::ElementPtr element = caret->parentElement();
  if (!element) return caret;
  platform::TxtRangePtr range = ToEndOf(caret, *element);
  // A caret right after a link is at the link's end, with the rest of its line in the element
  // around it: read that one, which holds the character after the caret.
  if (range->text().empty()) {
    platform::TxtRangePtr next = caret->duplicate();
    if (next->moveEnd(u"character", 1) == 1 && !LineBreak(next->text())) {
      if (platform::ElementPtr around = next->parentElement()) range = ToEndOf(caret, *around);
    }
  }
  return range;
}

platform::TxtRangePtr SpanOfSelections(accessibility::BrowserDocument& document,
                                       const std::vector<accessibility::atspi::ObjectSelection>& selections) {
  platform::TxtRangePtr span;
  for (const auto& selection : selections) {
    platform::TxtRangePtr part = document.RangeAt(selection.object, selection.startOffset, selection.endOffset);
    if (!part) continue;
    if (!span) {
      span = part;
      continue;
    }
    if (part->compareEndPoints(u"StartToStart", *span) < 0) span->setEndPoint(u"StartToStart", *part);
    if (part->compareEndPoints(u"EndToEnd", *span) > 0) span->setEndPoint(u"EndToEnd", *part);
  }
  return span;
}

void SelectionReading::Read() {
  // A reading going on would move the page's selection under the question.
  main_.cbStop_Click();
  std::optional<accessibility::atspi::FocusedText> focused;
  if (bus_ != nullptr) {
    try {
      focused = bus_->Focused();
    } catch (const platform::Failure& failure) {
      desktop_.note(std::string("cannot ask the focused program for its selection: ") + failure.what());
    }
  }
  if (focused && focused->webDocument && ReadWebPage(*focused)) return;
  if (focused && !focused->webDocument && ReadProgramText(*focused)) return;
  if (ReadDesktopSelection()) return;
  dialogs_.MsgBox(kNothingToRead, platform::vbOKOnly, u"Lectryn");
}

// Where the user's click left the caret (the object still holds it), or a selection in one object,
// only that part of the page is read before reading starts there; the rest follows as the whole
// page comes in, which takes seconds on a big one.
bool SelectionReading::ReadPartFirst(const accessibility::atspi::FocusedText& focused) {
  if (focused.Selected() ? !focused.selectionWithin : (focused.caretOffset < 0 || focused.caretNow < 0)) return false;
  std::shared_ptr<accessibility::BrowserDocument> document;
  platform::TxtRangePtr range;
  try {
    AxRef ref = *focused.webDocument;
    std::vector<AxRef> chain{focused.object};
    chain.insert(chain.end(), focused.ancestors.begin(), focused.ancestors.end());
    std::optional<AxNode> part = bus_->ReadPartOf(ref, chain, accessibility::PageBus::kNoPoint, 0);
    if (!part) return false;
    std::shared_ptr<accessibility::AxBridge> bridge = bus_->Bridge(ref);
    document = accessibility::ReadInParts(*bus_, ref, bridge, bridge->Url(), {});
    document->AddPart(*part);
    range = focused.Selected()
                ? document->RangeAt(focused.object, focused.selectionStart, focused.selectionEnd)
                : ToEndOfElement(document->RangeAt(focused.object, focused.caretOffset, focused.caretOffset));
  } catch (const platform::Failure& failure) {
    desktop_.note(std::string("cannot read the page around the selection first: ") + failure.what());
    return false;
  }
  if (!range) return false;
  Say(document, range);
  return true;
}

// The page as it is now; its selection read off each of its text objects, since a selection
// across objects is told piecewise by each.
bool SelectionReading::ReadWebPage(const accessibility::atspi::FocusedText& focused) {
  if (ReadPartFirst(focused)) return true;
  std::shared_ptr<accessibility::BrowserDocument> document;
  platform::TxtRangePtr range;
  try {
    AxRef ref = *focused.webDocument;
    std::shared_ptr<accessibility::AxBridge> bridge = bus_->Bridge(ref);
    std::u16string url = bridge->Url();
    AxNode tree = bus_->ReadTree(ref);
    document = accessibility::BrowserDocument::Create(tree, bridge, url, {});
    std::vector<AxRef> objects;
    TextObjects(tree, objects);
    range = SpanOfSelections(*document, bus_->SelectionsIn(objects));
    if (!range) {
      // The page's caret as it is now, unless our highlight left it there: then where the user's
      // last move put it.
      if (auto caret = bus_->CaretIn(objects))
        range = ToEndOfElement(document->RangeAt(caret->object, caret->startOffset, caret->startOffset));
      if (!range && focused.caretOffset >= 0)
        range = ToEndOfElement(document->RangeAt(focused.object, focused.caretOffset, focused.caretOffset));
    }
  } catch (const platform::Failure& failure) {
    desktop_.note(std::string("cannot read the focused page's selection: ") + failure.what());
    return false;
  }
  if (!range) {
    desktop_.note("the focused page has no selection or caret that can be read");
    return false;
  }
  Say(document, range);
  return true;
}

// A caret alone reads from there on in the program, whose own highlight may or may not follow.
bool SelectionReading::ReadProgramText(const accessibility::atspi::FocusedText& focused) {
  if (!focused.Selected() && focused.caretOffset < 0) return false;
  if (focused.takesSelection || !focused.Selected()) {
    std::shared_ptr<accessibility::BrowserDocument> document;
    platform::TxtRangePtr range;
    bool made = platform::Tolerate([&] {
      AxRef container = focused.container != 0 ? focused.container : focused.object;
      document = accessibility::BrowserDocument::Create(OneObjectPage(container, focused.object, focused.text),
                                                        bus_->Bridge(container), {}, {});
      range = focused.Selected()
                  ? document->RangeAt(focused.object, focused.selectionStart, focused.selectionEnd)
                  : ToEndOfElement(document->RangeAt(focused.object, focused.caretOffset, focused.caretOffset));
      if (range && Blank(range->text())) range = nullptr;
    });
    if (made && range) {
      Say(document, range);
      return true;
    }
    if (!focused.Selected()) return false;
  }
  std::u16string selected = CodePoints(focused.text, focused.selectionStart, focused.selectionEnd);
  if (Blank(selected)) return false;
  ReadInWindow(selected);
  return true;
}

// Wayland's primary selection reaches a program under XWayland only where the compositor passes
// it on: then the clipboard is what the user copied last.
bool SelectionReading::ReadDesktopSelection() {
  std::u16string text = desktop_.primarySelection ? desktop_.primarySelection() : std::u16string();
  if (Blank(text)) {
    desktop_.note("the desktop's primary selection is empty; reading the clipboard");
    text = desktop_.clipboard ? desktop_.clipboard() : std::u16string();
  }
  if (Blank(text)) return false;
  ReadInWindow(text);
  return true;
}

void SelectionReading::Say(const std::shared_ptr<accessibility::BrowserDocument>& document,
                           const platform::TxtRangePtr& range) {
  main_.cbStop_Click();
  main_.workingDoc = document;
  main_.rng = range;
  // A caret at the end of its paragraph: reading starts with the next one.
  if (Blank(range->text()))
    main_.SayNextParagraph();
  else
    main_.SayRange();
}

void SelectionReading::ReadInWindow(const std::u16string& text) {
  main_.mnuNarrationTxtToSpeech_Click();
  if (main_.speechWindow) main_.speechWindow->SayText(WindowsLines(text));
}

}  // namespace lectryn::app
