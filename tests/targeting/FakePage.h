#pragma once
// Small hand-made pages for the picker: elements with fixed boxes, a view that can be scrolled,
// frames with documents of their own, and switches that make single operations fail.
#include <memory>
#include <string>
#include <vector>

#include "platform/Failure.h"
#include "platform/Page.h"

namespace lectryn::targeting::fake {

class Document;

struct Box {
  int32_t left, top, width, height;  // page pixels of the border box
};

class Element : public platform::IHTMLElement, public std::enable_shared_from_this<Element> {
 public:
  Element(Document& doc, std::u16string name, std::u16string text, Box box)
      : doc_(doc), name_(std::move(name)), text_(std::move(text)), box_(box) {}
  std::u16string nodeName() override { return name_; }
  std::u16string id() override { return u""; }
  std::u16string innerText() override;
  std::u16string language() override { return u""; }
  int32_t offsetLeft() override;
  int32_t offsetTop() override;
  int32_t offsetWidth() override { return box_.width; }
  int32_t offsetHeight() override { return box_.height; }
  platform::ElementPtr offsetParent() override;
  int32_t clientLeft() override { return border; }
  int32_t clientTop() override { return border; }
  int32_t scrollTop() override;
  int32_t scrollLeft() override;
  std::shared_ptr<platform::IHTMLWindow2> contentWindow() override;
  platform::TxtRangePtr createTextRange() override;
  void insertAdjacentHTML(const std::u16string&, const std::u16string&) override {}
  void put_topMargin(int32_t) override {}
  void put_leftMargin(int32_t) override {}

  Document& doc_;
  std::u16string name_;
  std::u16string text_;
  Box box_;
  int32_t border = 0;
  std::shared_ptr<Document> frame;  // FRAME and IFRAME elements
  bool frameUnreadable = false;     // another site's frame: its document cannot be read
};

class Range : public platform::IHTMLTxtRange {
 public:
  Range(std::u16string text, const Document* doc) : text_(std::move(text)), doc_(doc) {}
  platform::TxtRangePtr duplicate() override { return std::make_shared<Range>(text_, doc_); }
  void collapse(bool) override {}
  int32_t move(const std::u16string&, int32_t) override { return 0; }
  int32_t moveStart(const std::u16string&, int32_t) override { return 0; }
  int32_t moveEnd(const std::u16string&, int32_t) override { return 0; }
  int32_t compareEndPoints(const std::u16string&, IHTMLTxtRange&) override { return 0; }
  void setEndPoint(const std::u16string&, IHTMLTxtRange&) override {}
  platform::ElementPtr parentElement() override { return nullptr; }
  void moveToElementText(platform::IHTMLElement& element) override;
  std::u16string text() override { return text_; }
  std::u16string htmlText() override { return text_; }
  bool findText(const std::u16string&, int32_t, int32_t) override { return false; }
  bool execCommand(const std::u16string&, bool) override { return false; }
  void select() override {}
  void scrollIntoView(bool) override {}

  std::u16string text_;
  const Document* doc_;
  const platform::IHTMLElement* element = nullptr;  // what the range covers; none for the whole body
};

class Document : public platform::HTMLDocument, public std::enable_shared_from_this<Document> {
 public:
  explicit Document(std::u16string url, int32_t width = 800, int32_t height = 600)
      : url_(std::move(url)), width_(width), height_(height) {
    html_ = std::make_shared<Element>(*this, u"HTML", u"", Box{0, 0, width, height});
    body_ = std::make_shared<Element>(*this, u"BODY", u"", Box{0, 0, width, height});
  }
  // Elements added later lie above earlier ones.
  std::shared_ptr<Element> Add(std::u16string name, std::u16string text, Box box) {
    elements_.push_back(std::make_shared<Element>(*this, std::move(name), std::move(text), box));
    return elements_.back();
  }

  platform::ElementPtr body() override {
    Check();
    return body_;
  }
  platform::ElementPtr documentElement() override {
    Check();
    return html_;
  }
  std::u16string readyState() override {
    Check();
    return state;
  }
  std::u16string URL() override {
    Check();
    return url_;
  }
  platform::ElementPtr getElementById(const std::u16string&) override { return nullptr; }
  // In view coordinates: the last element whose box holds the point, BODY's canvas answers HTML.
  platform::ElementPtr elementFromPoint(int32_t x, int32_t y) override {
    Check();
    ++elementFromPointCalls;
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
    int32_t px = x + scrollX, py = y + scrollY;
    for (auto it = elements_.rbegin(); it != elements_.rend(); ++it) {
      const Box& b = (*it)->box_;
      if (px >= b.left && px < b.left + b.width && py >= b.top && py < b.top + b.height) return *it;
    }
    return html_;
  }
  void Check() const {
    if (gone) throw platform::Failure("the page is gone");
  }

  std::u16string url_;
  int32_t width_, height_;
  int32_t scrollX = 0, scrollY = 0;
  std::u16string state = u"complete";
  bool gone = false;
  int32_t elementFromPointCalls = 0;
  std::shared_ptr<Element> html_, body_;
  std::vector<std::shared_ptr<Element>> elements_;
};

struct Window : platform::IHTMLWindow2 {
  std::shared_ptr<Document> doc;
  platform::DocumentPtr document() override { return doc; }
};

inline std::u16string Element::innerText() {
  doc_.Check();
  return text_;
}
// Every element is placed against BODY, whose own offsets are 0.
inline int32_t Element::offsetLeft() {
  doc_.Check();
  return this == doc_.body_.get() ? 0 : box_.left;
}
inline int32_t Element::offsetTop() {
  doc_.Check();
  return this == doc_.body_.get() ? 0 : box_.top;
}
inline platform::ElementPtr Element::offsetParent() {
  doc_.Check();
  bool top = this == doc_.body_.get() || this == doc_.html_.get();
  return top ? nullptr : doc_.body_;
}
inline int32_t Element::scrollTop() {
  return this == doc_.body_.get() || this == doc_.html_.get() ? doc_.scrollY : 0;
}
inline int32_t Element::scrollLeft() {
  return this == doc_.body_.get() || this == doc_.html_.get() ? doc_.scrollX : 0;
}
inline std::shared_ptr<platform::IHTMLWindow2> Element::contentWindow() {
  if (!frame) throw platform::Failure("not a frame");
  if (frameUnreadable) throw platform::Failure("access denied");
  auto window = std::make_shared<Window>();
  window->doc = frame;
  return window;
}
inline platform::TxtRangePtr Element::createTextRange() {
  if (this != doc_.body_.get()) throw platform::Failure("not the body");
  std::u16string all;
  for (auto& e : doc_.elements_) all += e->text_;
  return std::make_shared<Range>(all, &doc_);
}
inline void Range::moveToElementText(platform::IHTMLElement& e) {
  auto* el = dynamic_cast<Element*>(&e);
  if (!el || &el->doc_ != doc_) throw platform::Failure("element of another document");
  element = el;
  text_ = el->text_;
}

}  // namespace lectryn::targeting::fake
