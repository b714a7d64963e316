#include "desktop/QtWindowSystem.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <map>

#include "desktop/GuiApplication.h"
#include "desktop/PageView.h"

namespace lectryn::desktop {
namespace {

using platform::HWND;
using platform::POINTAPI;

// Form at (100, 100) 400 x 300; its client area starts 20 px down; the page view lies at (10, 10)
// of the client area, 300 x 200. A second window at (600, 100) 200 x 200.
constexpr QPoint kFormAt{100, 100};
constexpr QPoint kPageAt{110, 130};  // screen
constexpr QPoint kOtherAt{600, 100};
constexpr char kPage[] = "<html><body><p>Alpha Bravo Charlie</p></body></html>";

class QtWindowSystemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }

  void SetUp() override {
    form_.setGeometry(QRect(kFormAt, QSize(400, 300)));
    client_ = new QWidget(&form_);
    client_->setGeometry(0, 20, 400, 280);
    view_ = new PageView(std::make_shared<QtFontMetrics>(), client_);
    view_->setGeometry(10, 10, 300, 200);
    document_ = engine::Document::Parse(kPage, u"file:///page.htm");
    view_->SetDocument(document_);
    other_.setGeometry(QRect(kOtherAt, QSize(200, 200)));
    formHandle_ = registry_.Register({&form_, kFormClass, client_, nullptr, {}});
    pageHandle_ =
        registry_.Register({view_, kPageViewClass, nullptr, view_, [this] { return view_->Document(); }});
    otherHandle_ = registry_.Register({&other_, kPageWindowClass, nullptr, nullptr, {}});
    form_.show();
    other_.show();
    Settle();
  }

  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  HWND At(QPoint pt) { return windows_.WindowFromPoint({pt.x(), pt.y()}); }
  QImage Grab() {
    Settle();
    return view_->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // The picker's way of drawing its frame.
  void DrawFrame(HWND hWnd, QRect rect, int penWidth) {
    platform::HDC dc = windows_.GetWindowDC(hWnd);
    windows_.SetROP2(dc, platform::R2_NOT);
    platform::HGDIOBJ pen = windows_.CreatePen(platform::PS_INSIDEFRAME, penWidth, 0);
    platform::HGDIOBJ oldPen = windows_.SelectObject(dc, pen);
    platform::HGDIOBJ oldBrush = windows_.SelectObject(dc, windows_.GetStockObject(platform::NULL_BRUSH));
    EXPECT_TRUE(windows_.Rectangle(dc, rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1));
    windows_.SelectObject(dc, oldBrush);
    EXPECT_EQ(windows_.SelectObject(dc, oldPen), pen);
    EXPECT_TRUE(windows_.DeleteObject(pen));
    EXPECT_EQ(windows_.ReleaseDC(hWnd, dc), 1);
  }

  WindowRegistry registry_;
  QtWindowSystem windows_{registry_};
  QWidget form_;
  QWidget other_;
  QWidget* client_ = nullptr;
  PageView* view_ = nullptr;
  std::shared_ptr<engine::Document> document_;
  HWND formHandle_ = 0;
  HWND pageHandle_ = 0;
  HWND otherHandle_ = 0;
};

enum class Expect { Form, Page, Other, None };
struct PointCase {
  QPoint pt;
  Expect expect;
};
class WindowFromPointTest : public QtWindowSystemTest, public ::testing::WithParamInterface<PointCase> {};

TEST_P(WindowFromPointTest, FindsTheDeepestRegisteredWindow) {
  std::map<Expect, HWND> handles{{Expect::Form, formHandle_},
                                 {Expect::Page, pageHandle_},
                                 {Expect::Other, otherHandle_},
                                 {Expect::None, 0}};
  EXPECT_EQ(At(GetParam().pt), handles[GetParam().expect]);
}

INSTANTIATE_TEST_SUITE_P(Points, WindowFromPointTest,
                         ::testing::Values(PointCase{kPageAt, Expect::Page},
                                           PointCase{kPageAt + QPoint(299, 199), Expect::Page},
                                           // the client area, which is not registered
                                           PointCase{kPageAt + QPoint(300, 100), Expect::Form},
                                           // above the client area, and the frame
                                           PointCase{kFormAt + QPoint(5, 5), Expect::Form},
                                           PointCase{kFormAt - QPoint(1, 1), Expect::Form},
                                           PointCase{kOtherAt + QPoint(199, 199), Expect::Other},
                                           PointCase{{560, 150}, Expect::None},
                                           PointCase{{-50, -50}, Expect::None}));

TEST_F(QtWindowSystemTest, HiddenAndBuriedWindowsDoNotAnswer) {
  view_->hide();
  EXPECT_EQ(At(kPageAt), formHandle_);
  form_.hide();
  EXPECT_EQ(At(kPageAt), 0);
  form_.show();
  // Two windows over one point: the one activated last, unless the other is kept on top.
  other_.move(kFormAt);
  Settle();
  for (QWidget* window : {&other_, &form_}) {
    window->activateWindow();
    Settle();
    EXPECT_EQ(registry_.Widget(At(kFormAt + QPoint(50, 50))), window);
  }
  EXPECT_TRUE(windows_.SetWindowPos(otherHandle_, platform::HWND_TOPMOST, 0, 0, 0, 0,
                                    platform::SWP_NOMOVE | platform::SWP_NOSIZE));
  Settle();
  EXPECT_TRUE(other_.isVisible());
  EXPECT_EQ(At(kFormAt + QPoint(50, 50)), otherHandle_);
}

struct NameCase {
  int32_t bufferLength;
  std::string copied;
};
class ClassNameTest : public QtWindowSystemTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ClassNameTest, CopiesAtMostOneLessThanTheBuffer) {
  std::string buffer(4, 'x');
  int32_t n = windows_.GetClassNameA(pageHandle_, buffer, GetParam().bufferLength);
  EXPECT_EQ(n, static_cast<int32_t>(GetParam().copied.size()));
  EXPECT_EQ(buffer.substr(0, n), GetParam().copied);
  if (n > 0) {
    EXPECT_EQ(buffer[n], '\0');
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ClassNameTest,
                         ::testing::Values(NameCase{0, ""}, NameCase{1, ""}, NameCase{9, "Internet"},
                                           NameCase{25, "Internet Explorer_Server"},
                                           NameCase{256, "Internet Explorer_Server"}));

TEST_F(QtWindowSystemTest, ParentsAndChildrenSkipUnregisteredWidgetsAndOwnedWindows) {
  auto* status = new QWidget(&form_);  // after the client area: enumerated after the page
  auto* inner = new QWidget(status);
  auto* dialog = new QWidget(&form_, Qt::Dialog);
  HWND statusHandle = registry_.Register({status, "Status", nullptr, nullptr, {}});
  HWND innerHandle = registry_.Register({inner, "Inner", nullptr, nullptr, {}});
  HWND dialogHandle = registry_.Register({dialog, "Dialog", nullptr, nullptr, {}});
  EXPECT_EQ(windows_.GetParent(pageHandle_), formHandle_);
  EXPECT_EQ(windows_.GetParent(innerHandle), statusHandle);
  EXPECT_EQ(windows_.GetParent(dialogHandle), 0);
  EXPECT_EQ(windows_.GetParent(formHandle_), 0);

  std::vector<HWND> seen;
  EXPECT_TRUE(windows_.EnumChildWindows(formHandle_, [&](HWND h) { return seen.push_back(h), true; }));
  EXPECT_EQ(seen, (std::vector<HWND>{pageHandle_, statusHandle, innerHandle}));
  seen.clear();
  windows_.EnumChildWindows(formHandle_, [&](HWND h) { return seen.push_back(h), false; });
  EXPECT_EQ(seen, std::vector<HWND>{pageHandle_});
  EXPECT_FALSE(windows_.EnumChildWindows(999, [](HWND) { return true; }));
}

TEST_F(QtWindowSystemTest, ClientCoordinatesStartBelowTheMenuArea) {
  POINTAPI pt{0, 0};
  EXPECT_TRUE(windows_.ClientToScreen(formHandle_, pt));
  EXPECT_EQ(QPoint(pt.x, pt.y), kFormAt + QPoint(0, 20));
  pt = {kPageAt.x() + 7, kPageAt.y() + 3};
  EXPECT_TRUE(windows_.ScreenToClient(pageHandle_, pt));
  EXPECT_EQ(QPoint(pt.x, pt.y), QPoint(7, 3));
  EXPECT_FALSE(windows_.ClientToScreen(999, pt));
  EXPECT_EQ(QPoint(pt.x, pt.y), QPoint(7, 3));
}

TEST_F(QtWindowSystemTest, DocumentTokensLastAsLongAsTheShownDocument) {
  uint32_t msg = windows_.RegisterWindowMessageA("WM_HTML_GETOBJECT");
  EXPECT_GE(msg, 0xC000u);
  EXPECT_EQ(windows_.RegisterWindowMessageA("WM_HTML_GETOBJECT"), msg);
  EXPECT_NE(windows_.RegisterWindowMessageA("Other"), msg);
  auto ask = [&](HWND hWnd, uint32_t message) {
    platform::LRESULT result = -1;
    return windows_.SendMessageTimeoutA(hWnd, message, 0, 0, platform::SMTO_ABORTIFHUNG, 1000, result)
               ? result
               : -1;
  };
  platform::LRESULT token = ask(pageHandle_, msg);
  ASSERT_GT(token, 0);
  EXPECT_EQ(windows_.ObjectFromLresult(token, 0), document_);
  EXPECT_EQ(ask(pageHandle_, msg), token);  // the same document keeps its token
  EXPECT_EQ(ask(formHandle_, msg), 0);      // not a page: answered, no document
  EXPECT_EQ(ask(999, msg), -1);
  EXPECT_EQ(ask(pageHandle_, 0x1234), -1);

  // Replaced pages: a discarded one and one nobody holds any more give nothing back.
  const platform::LRESULT first = token;
  for (int i = 0; i < 20; ++i) {
    auto next = engine::Document::Parse(kPage, u"file:///next.htm");
    view_->SetDocument(next);
    document_->Discard();
    document_ = next;
    token = ask(pageHandle_, msg);
  }
  EXPECT_EQ(windows_.ObjectFromLresult(first, 0), nullptr);
  EXPECT_EQ(windows_.LiveTokens(), 1u);
  document_->Discard();  // still shown, but its page is gone
  EXPECT_EQ(windows_.ObjectFromLresult(token, 0), nullptr);
  EXPECT_EQ(ask(pageHandle_, msg), 0);
  view_->SetDocument(nullptr);
  EXPECT_EQ(ask(pageHandle_, msg), 0);
}

TEST_F(QtWindowSystemTest, FramesInvertTheirBandAndVanishWhenDrawnAgainOrRepainted) {
  const QRect frame(20, 30, 100, 60);
  const QImage before = Grab();
  DrawFrame(pageHandle_, frame, 3);
  QImage drawn = Grab();
  QRegion band = QRegion(frame).subtracted(frame.adjusted(3, 3, -3, -3));
  int changed = 0;
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x) {
      bool inverted = drawn.pixel(x, y) == (before.pixel(x, y) ^ 0x00FFFFFF);
      EXPECT_EQ(inverted, band.contains(QPoint(x, y))) << x << "," << y;
      changed += drawn.pixel(x, y) != before.pixel(x, y);
      if (changed > 100 * 60) return;  // stop a flood of failures
    }
  EXPECT_EQ(changed, 100 * 60 - 94 * 54);
  DrawFrame(pageHandle_, frame, 3);
  EXPECT_EQ(Grab(), before);
  DrawFrame(pageHandle_, frame, 3);
  EXPECT_TRUE(windows_.InvalidateRect(0, true));
  EXPECT_EQ(Grab(), before);
  DrawFrame(formHandle_, frame, 3);  // no outline layer: accepted, nothing shown
  EXPECT_EQ(Grab(), before);
}

TEST_F(QtWindowSystemTest, DeviceContextsKeepTheirObjects) {
  EXPECT_EQ(windows_.GetWindowDC(999), 0);
  platform::HDC dc = windows_.GetWindowDC(pageHandle_);
  ASSERT_NE(dc, 0);
  EXPECT_NE(windows_.SetROP2(dc, platform::R2_NOT), 0);
  EXPECT_EQ(windows_.SetROP2(dc, platform::R2_NOT), platform::R2_NOT);
  platform::HGDIOBJ pen = windows_.CreatePen(platform::PS_INSIDEFRAME, 2, 0);
  platform::HGDIOBJ stockPen = windows_.SelectObject(dc, pen);
  EXPECT_NE(stockPen, 0);
  EXPECT_FALSE(windows_.DeleteObject(pen));  // still selected
  EXPECT_EQ(windows_.SelectObject(dc, stockPen), pen);
  EXPECT_TRUE(windows_.DeleteObject(pen));
  EXPECT_FALSE(windows_.DeleteObject(pen));
  EXPECT_EQ(windows_.ReleaseDC(formHandle_, dc), 0);  // not its window
  EXPECT_EQ(windows_.ReleaseDC(pageHandle_, dc), 1);
  EXPECT_EQ(windows_.SetROP2(dc, platform::R2_NOT), 0);
  EXPECT_EQ(windows_.SelectObject(dc, stockPen), 0);
  EXPECT_FALSE(windows_.Rectangle(dc, 0, 0, 10, 10));
  EXPECT_EQ(windows_.GetSystemMetrics(platform::SM_CXBORDER), 1);
  EXPECT_EQ(windows_.TwipsPerPixel(), 15);  // the offscreen screen has 96 DPI
}

TEST_F(QtWindowSystemTest, APressHoldsThePointerUntilReleased) {
  QPoint at = kFormAt + QPoint(350, 250);
  QMouseEvent press(QEvent::MouseButtonPress, client_->mapFromGlobal(at), at, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(client_, &press);
  EXPECT_EQ(windows_.GetCapture(), formHandle_);
  EXPECT_EQ(windows_.SetCapture(formHandle_), formHandle_);
  windows_.SetPointer(formHandle_, platform::Pointer::UpArrow);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(form_.cursor().shape(), Qt::UpArrowCursor);
  QMouseEvent release(QEvent::MouseButtonRelease, client_->mapFromGlobal(at), at, Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(client_, &release);
  EXPECT_EQ(windows_.GetCapture(), formHandle_);  // taken, not only pressed
  windows_.SetPointer(formHandle_, platform::Pointer::Default);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(windows_.ReleaseCapture());
  EXPECT_EQ(windows_.GetCapture(), 0);
  EXPECT_EQ(windows_.SetCapture(pageHandle_), 0);
  delete view_;
  EXPECT_EQ(windows_.GetCapture(), 0);  // the holder is gone
}

TEST_F(QtWindowSystemTest, SetWindowPosMovesAndSizesTheOuterRectangle) {
  EXPECT_TRUE(windows_.SetWindowPos(otherHandle_, platform::HWND_TOPMOST, 300, 320, 250, 150, 0));
  Settle();
  EXPECT_TRUE(other_.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(other_.frameGeometry(), QRect(300, 320, 250, 150));
  EXPECT_TRUE(
      windows_.SetWindowPos(otherHandle_, 0, 0, 0, 0, 0, platform::SWP_NOMOVE | platform::SWP_NOSIZE));
  EXPECT_EQ(other_.frameGeometry(), QRect(300, 320, 250, 150));
  EXPECT_FALSE(windows_.SetWindowPos(999, 0, 0, 0, 0, 0, 0));
}

}  // namespace
}  // namespace lectryn::desktop
