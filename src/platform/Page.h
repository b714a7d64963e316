#pragma once
// The page document model: documents, elements and text ranges. Every operation that meets a
// page that is gone, an element of another document or an unsupported argument throws Failure.
// Text is UTF-16; line breaks in text are "\r\n"; geometry is in pixels.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lectryn::platform {

class IHTMLElement;
class IHTMLTxtRange;
class HTMLDocument;

using ElementPtr = std::shared_ptr<IHTMLElement>;
using TxtRangePtr = std::shared_ptr<IHTMLTxtRange>;
using DocumentPtr = std::shared_ptr<HTMLDocument>;

// The window of a frame element: only its document is used.
class IHTMLWindow2 {
 public:
  virtual ~IHTMLWindow2() = default;
  virtual DocumentPtr document() = 0;
};

class IHTMLElement {
 public:
  virtual ~IHTMLElement() = default;
  virtual std::u16string nodeName() = 0;  // upper case: "HTML", "P", "IFRAME"
  virtual std::u16string id() = 0;
  virtual std::u16string innerText() = 0;
  // The language its text is in, a BCP 47 tag: its own lang (or xml:lang), else its nearest
  // ancestor's, else the page's; empty when nothing says.
  virtual std::u16string language() = 0;

  virtual int32_t offsetLeft() = 0;
  virtual int32_t offsetTop() = 0;
  virtual int32_t offsetWidth() = 0;
  virtual int32_t offsetHeight() = 0;
  virtual ElementPtr offsetParent() = 0;  // Nothing at the top
  virtual int32_t clientLeft() = 0;
  virtual int32_t clientTop() = 0;
  virtual int32_t scrollTop() = 0;
  virtual int32_t scrollLeft() = 0;

  // Frame elements only; others fail.
  virtual std::shared_ptr<IHTMLWindow2> contentWindow() = 0;

  // Body element only; others fail.
  virtual TxtRangePtr createTextRange() = 0;
  virtual void insertAdjacentHTML(const std::u16string& where, const std::u16string& html) = 0;
  virtual void put_topMargin(int32_t pixels) = 0;
  virtual void put_leftMargin(int32_t pixels) = 0;
};

// Comparison and end-point names: "StartToStart", "StartToEnd", "EndToStart", "EndToEnd".
// Units: "character", "word", "sentence", "textedit" (case ignored).
class IHTMLTxtRange {
 public:
  virtual ~IHTMLTxtRange() = default;
  virtual TxtRangePtr duplicate() = 0;
  virtual void collapse(bool toStart) = 0;
  // Each returns the signed number of units actually moved.
  virtual int32_t move(const std::u16string& unit, int32_t count) = 0;
  virtual int32_t moveStart(const std::u16string& unit, int32_t count) = 0;
  virtual int32_t moveEnd(const std::u16string& unit, int32_t count) = 0;
  virtual int32_t compareEndPoints(const std::u16string& how, IHTMLTxtRange& other) = 0;
  virtual void setEndPoint(const std::u16string& how, IHTMLTxtRange& other) = 0;
  virtual ElementPtr parentElement() = 0;
  virtual void moveToElementText(IHTMLElement& element) = 0;
  virtual std::u16string text() = 0;
  virtual std::u16string htmlText() = 0;
  // Flags: 2 whole word, 4 match case. True when found; the range then covers the match.
  virtual bool findText(const std::u16string& text, int32_t count, int32_t flags) = 0;
  virtual bool execCommand(const std::u16string& command, bool showUI) = 0;
  virtual void select() = 0;
  virtual void scrollIntoView(bool alignToTop) = 0;
};

class HTMLDocument {
 public:
  virtual ~HTMLDocument() = default;
  virtual ElementPtr body() = 0;
  virtual ElementPtr documentElement() = 0;
  // "uninitialized", "loading", "interactive" or "complete".
  virtual std::u16string readyState() = 0;
  virtual std::u16string URL() = 0;
  // The page's title; empty when it has none.
  virtual std::u16string title() { return {}; }
  virtual ElementPtr elementFromPoint(int32_t x, int32_t y) = 0;    // Nothing when none
  virtual ElementPtr getElementById(const std::u16string& id) = 0;  // Nothing when none
  // The page was replaced or is gone: every call on it, its elements and its ranges fails.
  virtual bool Discarded() const { return false; }
  // A page still being read (another program's, read in parts): more calls more on the UI loop once
  // more of it is in, and the answer is true; false when all of it is in.
  virtual bool WhenMore(std::function<void()> more) {
    (void)more;
    return false;
  }
};

// Ready states of the browser objects.
enum class ReadyState : int32_t { Uninitialized = 0, Loading = 1, Loaded = 2, Interactive = 3, Complete = 4 };

// The separate page window (an automation object with a top-level window of its own).
class BrowserApplication {
 public:
  virtual ~BrowserApplication() = default;
  // Fails once the user has closed the window.
  virtual void navigate(const std::u16string& address) = 0;
  virtual void put_MenuBar(bool shown) = 0;
  virtual void put_ToolBar(int32_t shown) = 0;
  virtual void put_Visible(bool visible) = 0;
  virtual int32_t readyState() = 0;
  virtual DocumentPtr document() = 0;
};

// The browser control embedded in a window of the program.
class WebBrowser {
 public:
  virtual ~WebBrowser() = default;
  virtual void Navigate(const std::u16string& address) = 0;
  virtual void Refresh() = 0;
  virtual std::u16string LocationURL() = 0;
  virtual int32_t ReadyState() = 0;
  virtual DocumentPtr Document() = 0;  // Nothing before the first page
};

// Creates browser objects: "InternetExplorer.Application" and the control of a window.
class BrowserObjects {
 public:
  virtual ~BrowserObjects() = default;
  virtual std::shared_ptr<BrowserApplication> CreateApplication() = 0;
  virtual std::shared_ptr<WebBrowser> CreateControl() = 0;
};

}  // namespace lectryn::platform
