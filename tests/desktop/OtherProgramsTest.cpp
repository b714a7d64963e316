// Other programs' windows on a real X server (run under xvfb-run): found under the pointer in
// stacking order, told apart from ours, and as page windows when their pages can be read; the
// outline over them is the overlay's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>

#include "desktop/QtWindowSystem.h"
#include "desktop/WindowRegistry.h"
#include "desktop/X11Windows.h"
#include "engine/Document.h"

// Last: Xlib's macros (Bool, Status, None) clash with Qt's and the test framework's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lectryn::desktop {
namespace {

// A window of "another program": its own X connection, WM_CLASS and _NET_WM_PID.
class ForeignWindow {
 public:
  ForeignWindow(QRect place, const char* className, long pid) : display_(XOpenDisplay(nullptr)) {
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), place.x(), place.y(),
                                  static_cast<unsigned>(place.width()), static_cast<unsigned>(place.height()),
                                  0, 0, 0xffffff);
    XClassHint hint{const_cast<char*>("browser"), const_cast<char*>(className)};
    XSetClassHint(display_, window_, &hint);
    Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
    XChangeProperty(display_, window_, pidAtom, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    XMapRaised(display_, window_);
    XSync(display_, False);
  }
  ~ForeignWindow() {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  XWindowId Id() const { return window_; }
  void Raise() {
    XRaiseWindow(display_, window_);
    XSync(display_, False);
  }
  void Unmap() {
    XUnmapWindow(display_, window_);
    XSync(display_, False);
  }

 private:
  Display* display_;
  Window window_;
};

class FakePages : public OtherPages {
 public:
  bool ShowsPage(const X11Window& window) override { return window.className == "Browser"; }
  platform::DocumentPtr Document(const X11Window& window) override {
    asked = window;
    return ShowsPage(window) ? document : nullptr;
  }
  platform::DocumentPtr document = engine::Document::Parse("<p>Text</p>", u"file:///page.htm");
  X11Window asked;
};

// A page of another program that is not one of our engine's documents; it can be gone.
class ForeignPage : public platform::HTMLDocument {
 public:
  platform::ElementPtr body() override { return nullptr; }
  platform::ElementPtr documentElement() override { return nullptr; }
  std::u16string readyState() override { return u"complete"; }
  std::u16string URL() override { return u"https://example.test/"; }
  platform::ElementPtr elementFromPoint(int32_t, int32_t) override { return nullptr; }
  platform::ElementPtr getElementById(const std::u16string&) override { return nullptr; }
  bool Discarded() const override { return gone; }
  bool gone = false;
};

// Mapping reaches the server before the next request of another connection only eventually.
void Settle() {
  QApplication::processEvents();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  QApplication::processEvents();
}

class OtherProgramsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "desktop_x11_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    ASSERT_TRUE(x11_.Available()) << "needs an X server";
    if (const char* expected = std::getenv("LECTRYN_EXPECTED_PIXEL_RATIO")) {
      ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), std::atof(expected))
          << "the screen is not scaled";
    }
    windows_ = std::make_unique<QtWindowSystem>(registry_);
    windows_->SetOtherPrograms(&x11_, &pages_);
  }
  // Other programs' windows are placed in the screen's own pixels; the window system is asked in
  // Qt's, which differ on a scaled screen (run again with QT_SCALE_FACTOR=2).
  static platform::POINTAPI At(int deviceX, int deviceY) {
    qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    return {static_cast<int32_t>(std::lround(deviceX / ratio)),
            static_cast<int32_t>(std::lround(deviceY / ratio))};
  }
  platform::HWND WindowAt(int deviceX, int deviceY) {
    return windows_->WindowFromPoint(At(deviceX, deviceY));
  }
  std::string ClassOf(platform::HWND hWnd) {
    std::string buffer(64, '\0');
    int32_t n = windows_->GetClassNameA(hWnd, buffer, 64);
    return buffer.substr(0, static_cast<size_t>(n));
  }

  X11Windows x11_;
  FakePages pages_;
  WindowRegistry registry_;
  std::unique_ptr<QtWindowSystem> windows_;
};

TEST_F(OtherProgramsTest, FindsTheTopmostWindowUnderThePointAndTellsOursApart) {
  ForeignWindow below({100, 100, 400, 300}, "Browser", 4242);
  ForeignWindow above({300, 200, 400, 300}, "Editor", 4343);
  QWidget ours;
  ours.setGeometry(20, 450, 60, 40);
  ours.show();
  platform::HWND oursHandle = registry_.Register({&ours, "LectrynForm", nullptr, nullptr, {}});
  Settle();

  platform::HWND atBelow = WindowAt(150, 150);
  platform::HWND atOverlap = WindowAt(350, 250);
  EXPECT_NE(atBelow, 0);
  EXPECT_NE(atOverlap, atBelow) << "the window above wins where they overlap";
  EXPECT_EQ(ClassOf(atBelow), "Internet Explorer_Server");
  EXPECT_EQ(ClassOf(atOverlap), "Editor");
  EXPECT_EQ(windows_->WindowFromPoint({50, 470}), oursHandle);
  EXPECT_EQ(WindowAt(5, 5), 0);

  below.Raise();
  Settle();
  EXPECT_EQ(WindowAt(350, 250), atBelow) << "raising changes the answer";
  EXPECT_EQ(WindowAt(150, 150), atBelow) << "one window keeps one handle";

  // Client coordinates of another program's window are its own pixels, as its page's are.
  platform::POINTAPI pt = At(150, 160);
  ASSERT_TRUE(windows_->ScreenToClient(atBelow, pt));
  EXPECT_EQ(pt.x, 50);
  EXPECT_EQ(pt.y, 60);
  ASSERT_TRUE(windows_->ClientToScreen(atBelow, pt));
  EXPECT_EQ(pt.x, At(150, 160).x);
  EXPECT_EQ(pt.y, At(150, 160).y);

  below.Unmap();
  Settle();
  EXPECT_EQ(ClassOf(atBelow), "") << "a window that is gone has no class";
  EXPECT_FALSE(windows_->ScreenToClient(atBelow, pt));
}

TEST_F(OtherProgramsTest, APageWindowAnswersWithItsDocumentAndOthersWithNone) {
  ForeignWindow browser({100, 100, 400, 300}, "Browser", 4242);
  ForeignWindow editor({600, 100, 200, 200}, "Editor", 4343);
  Settle();
  uint32_t getObject = windows_->RegisterWindowMessageA("WM_HTML_GETOBJECT");
  platform::LRESULT result = 0;
  platform::HWND page = WindowAt(200, 200);
  ASSERT_NE(windows_->SendMessageTimeoutA(page, getObject, 0, 0, platform::SMTO_ABORTIFHUNG, 1000, result),
            0);
  EXPECT_EQ(windows_->ObjectFromLresult(result, 0), pages_.document);
  EXPECT_EQ(pages_.asked.pid, 4242);
  EXPECT_EQ(pages_.asked.client, QRect(100, 100, 400, 300));

  result = 7;
  platform::HWND other = WindowAt(650, 150);
  EXPECT_EQ(windows_->SendMessageTimeoutA(other, getObject, 0, 0, platform::SMTO_ABORTIFHUNG, 1000, result),
            0)
      << "no page, no answer";
  int visited = 0;
  EXPECT_TRUE(windows_->EnumChildWindows(page, [&](platform::HWND) { return ++visited, true; }));
  EXPECT_EQ(visited, 0);
  EXPECT_EQ(windows_->GetParent(page), 0);
}

TEST_F(OtherProgramsTest, AnotherProgramsPageThatIsGoneIsNotHandedOut) {
  auto foreign = std::make_shared<ForeignPage>();
  pages_.document = foreign;
  ForeignWindow browser({100, 100, 400, 300}, "Browser", 4242);
  Settle();
  uint32_t getObject = windows_->RegisterWindowMessageA("WM_HTML_GETOBJECT");
  platform::HWND page = WindowAt(200, 200);
  platform::LRESULT result = 0;
  windows_->SendMessageTimeoutA(page, getObject, 0, 0, platform::SMTO_ABORTIFHUNG, 1000, result);
  ASSERT_EQ(windows_->ObjectFromLresult(result, 0), foreign);

  foreign->gone = true;
  EXPECT_EQ(windows_->ObjectFromLresult(result, 0), nullptr) << "the token outlived its page";
  windows_->SendMessageTimeoutA(page, getObject, 0, 0, platform::SMTO_ABORTIFHUNG, 1000, result);
  EXPECT_EQ(result, 0);
}

TEST_F(OtherProgramsTest, TheOutlineOverAnotherWindowIsTheOverlaysAndLetsThePointerThrough) {
  ForeignWindow browser({100, 100, 400, 300}, "Browser", 4242);
  Settle();
  platform::HWND page = WindowAt(200, 200);
  auto invert = [&](int left, int top, int right, int bottom) {
    platform::HDC dc = windows_->GetWindowDC(page);
    ASSERT_NE(dc, 0);
    windows_->SetROP2(dc, platform::R2_NOT);
    platform::HGDIOBJ pen = windows_->CreatePen(platform::PS_INSIDEFRAME, 3, platform::RGB(0, 255, 0));
    platform::HGDIOBJ old = windows_->SelectObject(dc, pen);
    windows_->Rectangle(dc, left, top, right, bottom);
    windows_->SelectObject(dc, old);
    windows_->DeleteObject(pen);
    windows_->ReleaseDC(page, dc);
  };
  invert(10, 20, 110, 70);
  Settle();
  const OverlayOutline& overlay = windows_->Overlay();
  EXPECT_TRUE(overlay.isVisible());
  EXPECT_EQ(overlay.Covered(), QRect(100, 100, 400, 300));
  EXPECT_TRUE(overlay.Bands().contains(QPoint(11, 21)));
  EXPECT_FALSE(overlay.Bands().contains(QPoint(60, 45))) << "only the band, not the inside";
  EXPECT_EQ(overlay.Bands().boundingRect(), QRect(10, 20, 100, 50));
  // The overlay sits above the window but the pointer still finds the window under it.
  EXPECT_EQ(WindowAt(111, 121), page);
  qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
  EXPECT_EQ(overlay.geometry(), QRect(At(100, 100).x, At(100, 100).y, static_cast<int>(400 / ratio),
                                      static_cast<int>(300 / ratio)))
      << "the overlay lies over the window in Qt's pixels";

  invert(10, 20, 110, 70);
  Settle();
  EXPECT_FALSE(overlay.isVisible()) << "drawing it again removes it";

  invert(30, 30, 60, 60);
  windows_->InvalidateRect(0, true);
  Settle();
  EXPECT_TRUE(overlay.Bands().isEmpty());
  EXPECT_FALSE(overlay.isVisible());
}

}  // namespace
}  // namespace lectryn::desktop
