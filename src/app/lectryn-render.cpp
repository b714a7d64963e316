// lectryn-render: loads a page as the reader does, lays it out at a view size with Qt's fonts, and
// writes what the view shows as a PNG, or the border box of every rendered element as JSON lines
// (to compare with a browser). Runs without a display: Qt's offscreen platform unless the caller
// chose another.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/PageLoading.h"
#include "app/Version.h"
#include "desktop/DisplayListPainter.h"
#include "desktop/QtFontMetrics.h"
#include "engine/Document.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "system/PlainUiLoop.h"

namespace {

using namespace lectryn;
namespace layout = engine::layout;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;  // a command line it cannot take, as the other programs say it
constexpr float kMaxViewPx = 20000;

const char* const kUsage =
    "usage: lectryn-render PAGE [--width W] [--height H] [--png OUT.png] [--boxes]\n"
    "                      [--select-element ID] [--scroll-to-element ID]\n"
    "Lays PAGE (a file or an address) out in a view of W x H CSS pixels (default 1000 x 800).\n"
    "  --png OUT.png            write what the view shows (W x H pixels) as a PNG\n"
    "  --boxes                  print the border box of every rendered element in document order,\n"
    "                           one JSON object a line: "
    "{\"tag\":\"P\",\"id\":\"x\",\"x\":8,\"y\":16,\"w\":984,\"h\":18}\n"
    "  --select-element ID      select the element's text, as the highlighter does\n"
    "  --scroll-to-element ID   scroll the element's text to the top of the view\n"
    "  -h, --help               show this help and exit\n"
    "  --version                show the version and exit\n";

struct Options {
  std::string page;
  float width = 1000;
  float height = 800;
  std::optional<std::string> png;
  bool boxes = false;
  std::optional<std::string> selectId;
  std::optional<std::string> scrollId;
  bool help = false;
  bool version = false;
};

// Qt's notes about the environment (no runtime folder under a bare shell) are noise for a command
// line tool whose errors are one line each; everything else Qt says goes through.
void QtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg && message.startsWith("QStandardPaths:")) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "lectryn-render: %s\n", message.c_str());
  return kExitFailure;
}

std::optional<float> ParseSize(const std::string& text) {
  char* end = nullptr;
  float value = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 1 || value > kMaxViewPx)
    return std::nullopt;
  return value;
}

// Returns an error for people, or nothing when the options are complete.
std::optional<std::string> ParseOptions(const std::vector<std::string>& arguments, Options& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      return std::nullopt;
    } else if (argument == "--version") {
      options.version = true;
      return std::nullopt;
    } else if (argument == "--boxes") {
      options.boxes = true;
    } else if (argument == "--width" || argument == "--height") {
      std::optional<std::string> text = value();
      std::optional<float> size = text ? ParseSize(*text) : std::nullopt;
      if (!size)
        return argument + " needs a number of pixels from 1 to 20000, not \"" + text.value_or("") + "\"";
      (argument == "--width" ? options.width : options.height) = *size;
    } else if (argument == "--png" || argument == "--select-element" || argument == "--scroll-to-element") {
      std::optional<std::string> text = value();
      if (!text || text->empty()) return argument + " needs a value";
      if (argument == "--png") options.png = text;
      if (argument == "--select-element") options.selectId = text;
      if (argument == "--scroll-to-element") options.scrollId = text;
    } else if (argument.starts_with("-") && argument != "-") {
      return "unknown option " + argument;
    } else if (options.page.empty()) {
      options.page = argument;
    } else {
      return "one page only: " + argument;
    }
  }
  if (options.page.empty()) return std::string("no page given");
  if (!options.png && !options.boxes) return std::string("nothing to do: give --png OUT.png or --boxes");
  return std::nullopt;
}

// A range over the element's text, or nothing (error set) when the page has no such element.
platform::TxtRangePtr ElementTextRange(engine::Document& document, const std::string& id,
                                       std::string& error) {
  platform::ElementPtr element = document.getElementById(platform::FromUtf8(id));
  if (!element) {
    error = "no element with the id \"" + id + "\" in " + platform::ToUtf8(document.URL());
    return nullptr;
  }
  platform::TxtRangePtr range = document.body()->createTextRange();
  range->moveToElementText(*element);
  return range;
}

std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out == "-0" ? "0" : out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Every element with a box, in document order: its border box, or for an inline element split
// over lines the bounding box of its fragments.
void PrintBoxes(engine::Document& document) {
  const layout::LayoutTree& tree = document.Layout();
  const engine::dom::Tree& dom = document.Tree();
  for (engine::dom::NodeId node = dom.Root(); node != engine::dom::kNoNode;
       node = dom.Next(node, dom.Root())) {
    if (!dom[node].IsElement()) continue;
    int32_t box = tree.FirstBoxOf(node);
    if (box < 0) continue;
    layout::Rect bounds = tree.boxes[static_cast<size_t>(box)].border;
    for (int32_t next = tree.boxes[static_cast<size_t>(box)].nextOfNode; next >= 0;
         next = tree.boxes[static_cast<size_t>(next)].nextOfNode) {
      const layout::Rect& fragment = tree.boxes[static_cast<size_t>(next)].border;
      float left = std::min(bounds.x, fragment.x), top = std::min(bounds.y, fragment.y);
      bounds = {left, top, std::max(bounds.Right(), fragment.Right()) - left,
                std::max(bounds.Bottom(), fragment.Bottom()) - top};
    }
    std::string tag = dom[node].name;
    for (char& c : tag) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::u16string* id = dom.AttributeValue(node, "id");
    std::printf("{\"tag\":%s,\"id\":%s,\"x\":%s,\"y\":%s,\"w\":%s,\"h\":%s}\n", JsonString(tag).c_str(),
                JsonString(id ? platform::ToUtf8(*id) : "").c_str(), Number(bounds.x).c_str(),
                Number(bounds.y).c_str(), Number(bounds.w).c_str(), Number(bounds.h).c_str());
  }
}

std::optional<std::string> WritePng(engine::Document& document, desktop::QtFontMetrics& fonts,
                                    const Options& options) {
  auto width = static_cast<int>(std::ceil(options.width)),
       height = static_cast<int>(std::ceil(options.height));
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  layout::Point scroll = document.ViewScroll();
  layout::DisplayList list = document.Paint({scroll.x, scroll.y, options.width, options.height});
  {
    QPainter painter(&image);
    desktop::DisplayListPainter(fonts).Paint(painter, list, scroll, QRectF(0, 0, width, height));
  }
  if (!image.save(QString::fromStdString(*options.png), "PNG"))
    return "cannot write the PNG to " + *options.png + ": check the folder exists and is writable";
  return std::nullopt;
}

int Render(const Options& options) {
  system::PlainUiLoop loop;
  std::string error;
  std::shared_ptr<engine::Document> document = app::LoadPage(loop, options.page, error);
  if (!document) return Fail(error);
  auto fonts = std::make_shared<desktop::QtFontMetrics>();
  document->SetFontMetrics(fonts);
  document->SetViewSize(options.width, options.height);
  if (options.selectId) {
    platform::TxtRangePtr range = ElementTextRange(*document, *options.selectId, error);
    if (!range) return Fail(error);
    range->select();
  }
  if (options.scrollId) {
    platform::TxtRangePtr range = ElementTextRange(*document, *options.scrollId, error);
    if (!range) return Fail(error);
    range->scrollIntoView(true);
  }
  if (options.boxes) PrintBoxes(*document);
  if (options.png) {
    if (auto failure = WritePng(*document, *fonts, options)) return Fail(*failure);
  }
  return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the boxes to standard output");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (auto error = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options)) {
    Fail(*error);
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.version) {
    app::PrintVersion("lectryn-render");
    return 0;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler(QtMessage);
  QGuiApplication application(argc, argv);
  try {
    return Render(options);
  } catch (const platform::Failure& failure) {
    return Fail(std::string("cannot render ") + options.page + ": " + failure.what());
  }
}
