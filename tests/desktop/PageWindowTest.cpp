// Page windows and browser controls on the desktop: real loads of local files on Qt's event
// loop, what the window shows, its history and bars, the user closing it, and the registry's view
// of the page views.
#include "desktop/PageWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <functional>
#include <utility>

#include "desktop/DesktopBrowserObjects.h"
#include "desktop/GuiApplication.h"
#include "desktop/QtUiLoop.h"
#include "engine/Document.h"
#include "engine/load/TempFolder.h"
#include "platform/Failure.h"

namespace lectryn::desktop {
namespace {

using engine::testing::TempFolder;

// Runs Qt's event loop until `done` holds; loads finish on worker threads, so this waits in real
// time, and the bound only turns a hang into a failure.
bool WaitFor(const std::function<bool()>& done) {
  QDeadlineTimer deadline(10000);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  return true;
}

std::string Page(const std::string& title, const std::string& body) {
  std::string head = title.empty() ? "" : "<title>" + title + "</title>";
  return "<!DOCTYPE html><html><head>" + head + "</head><body style=\"font: 16px sans-serif\">" + body +
         "</body></html>";
}

std::u16string FileAddress(const std::string& path) {
  return QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdU16String();
}

std::shared_ptr<engine::Document> Shown(PageView* view) {
  return view ? view->Document() : nullptr;
}

std::u16string TextOf(const std::shared_ptr<engine::Document>& page) {
  return page ? page->BodyText() : u"(no page)";
}

// Clicks the middle of the element with the id, in the view's coordinates (the page is not
// scrolled).
void Click(PageView& view, const std::u16string& id) {
  platform::ElementPtr element = view.Document()->getElementById(id);
  ASSERT_NE(nullptr, element);
  QPointF at(element->offsetLeft() + element->offsetWidth() / 2.0,
             element->offsetTop() + element->offsetHeight() / 2.0);
  QPointF global = view.viewport()->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(view.viewport(), &press);
  QCoreApplication::sendEvent(view.viewport(), &release);
}

class PageWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }

  void SetUp() override {
    objects_.SetOnWindowShown(
        [this](const std::string& name, bool shown) { shownTrace_.emplace_back(name, shown); });
    first_ = folder_.Write("first.htm", Page("First page",
                                             "<p id=para>Alpha bravo</p>"
                                             "<p><a id=next href=\"second.htm\">to the second</a></p>"));
    second_ = folder_.Write("second.htm", Page("", "<p>Charlie delta</p>"));
    third_ = folder_.Write("third.htm", Page("Third", "<p>Echo foxtrot</p>"));
  }

  void TearDown() override {
    window_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // A new page window that has loaded `path` completely.
  void OpenWindow(const std::string& path) {
    window_ = objects_.NewPageWindow();
    window_->navigate(FileAddress(path));
    ASSERT_TRUE(WaitFor([&] { return window_->readyState() == 4; }));
  }

  void WaitForPage(const std::string& path) {
    ASSERT_TRUE(WaitFor([&] {
      return window_->readyState() == 4 && window_->History().size() > window_->HistoryIndex() &&
             Shown(window_->View()) && Shown(window_->View())->URL() == FileAddress(path);
    })) << "waiting for "
        << path << ", the address bar shows " << window_->AddressBar()->text().toStdString();
  }

  void TypeAddress(const std::string& address) {
    window_->AddressBar()->setText(QString::fromStdString(address));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(window_->AddressBar(), &enter);
  }

  platform::DocumentPtr RegisteredDocument(QWidget* view) {
    const WindowEntry* entry = registry_.Find(registry_.HandleOf(view));
    return entry && entry->document ? entry->document() : nullptr;
  }

  QtUiLoop loop_;
  WindowRegistry registry_;
  DesktopBrowserObjects objects_{loop_, registry_, std::make_shared<QtFontMetrics>()};
  TempFolder folder_;
  std::string first_, second_, third_;
  std::shared_ptr<PageWindow> window_;
  std::vector<std::pair<std::string, bool>> shownTrace_;
};

TEST_F(PageWindows, ShowTheLoadedPageHiddenUntilAskedAndRegisterTheView) {
  OpenWindow(first_);
  EXPECT_TRUE(window_->isHidden());
  EXPECT_TRUE(shownTrace_.empty());

  std::shared_ptr<engine::Document> shown = Shown(window_->View());
  ASSERT_NE(nullptr, shown);
  EXPECT_EQ(window_->document(), shown);
  EXPECT_EQ(u"Alpha bravo\r\nto the second", shown->BodyText());
  EXPECT_EQ("First page", window_->windowTitle());
  EXPECT_EQ(FileAddress(first_), window_->AddressBar()->text().toStdU16String());

  // The picker finds the view as a page view inside the window's frame, with the page shown.
  platform::HWND view = registry_.HandleOf(window_->View());
  platform::HWND frame = registry_.HandleOf(window_.get());
  ASSERT_NE(0, view);
  ASSERT_NE(0, frame);
  EXPECT_EQ(kPageViewClass, registry_.Find(view)->className);
  EXPECT_EQ(kPageWindowClass, registry_.Find(frame)->className);
  EXPECT_EQ(frame, registry_.EnclosingHandle(window_->View()->parentWidget()));
  EXPECT_EQ(window_->View(), dynamic_cast<PageView*>(registry_.Find(view)->outlines));
  EXPECT_EQ(shown, RegisteredDocument(window_->View()));
  EXPECT_EQ(nullptr, registry_.Find(frame)->document);

  // A page without a title is named by its address.
  window_->navigate(FileAddress(second_));
  WaitForPage(second_);
  EXPECT_EQ(FileAddress(second_), window_->windowTitle().toStdU16String());
  EXPECT_TRUE(shown->Discarded());
  EXPECT_EQ(Shown(window_->View()), RegisteredDocument(window_->View()));
}

TEST_F(PageWindows, AddressBarLinksAndDropsNavigateTheSameWindowWithHistory) {
  OpenWindow(first_);
  window_->put_Visible(true);  // laid out, so the link is where the page says
  EXPECT_FALSE(window_->BackAction()->isEnabled());
  EXPECT_FALSE(window_->ForwardAction()->isEnabled());

  Click(*window_->View(), u"next");
  WaitForPage(second_);
  TypeAddress(third_);  // a plain path
  WaitForPage(third_);
  EXPECT_EQ("Third", window_->windowTitle());
  EXPECT_EQ(objects_.PageWindows(), std::vector<PageWindow*>{window_.get()});

  window_->BackAction()->trigger();
  WaitForPage(second_);
  EXPECT_EQ(u"Charlie delta", TextOf(Shown(window_->View())));
  EXPECT_EQ(FileAddress(second_), window_->AddressBar()->text().toStdU16String());
  window_->BackAction()->trigger();
  WaitForPage(first_);
  EXPECT_FALSE(window_->BackAction()->isEnabled());
  EXPECT_TRUE(window_->ForwardAction()->isEnabled());
  window_->ForwardAction()->trigger();
  WaitForPage(second_);
  EXPECT_EQ((std::vector<std::u16string>{FileAddress(first_), FileAddress(second_), FileAddress(third_)}),
            window_->History());

  // A new page after going back drops the pages ahead.
  QMimeData dropped;
  dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(first_))});
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window_.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window_.get(), &drop);
  WaitForPage(first_);
  EXPECT_EQ((std::vector<std::u16string>{FileAddress(first_), FileAddress(second_), FileAddress(first_)}),
            window_->History());
  EXPECT_FALSE(window_->ForwardAction()->isEnabled());
}

TEST_F(PageWindows, ReloadReplacesThePageAndKeepsTheHistory) {
  OpenWindow(first_);
  std::shared_ptr<engine::Document> before = Shown(window_->View());
  folder_.Write("first.htm", Page("First again", "<p>Changed</p>"));
  window_->ReloadAction()->trigger();
  ASSERT_TRUE(WaitFor([&] { return window_->readyState() == 4 && Shown(window_->View()) != before; }));
  EXPECT_EQ(u"Changed", TextOf(Shown(window_->View())));
  EXPECT_EQ("First again", window_->windowTitle());
  EXPECT_EQ(1U, window_->History().size());
}

TEST_F(PageWindows, OpenPageAsksForAnAddress) {
  OpenWindow(first_);
  // Answers the dialog once it is up; any other modal window is closed so the test cannot hang.
  QTimer::singleShot(0, [this] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QInputDialog*>(widget); dialog && dialog->isVisible()) {
        dialog->setTextValue(QString::fromStdString(third_));
        dialog->accept();
        return;
      }
    }
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  window_->OpenAction()->trigger();
  WaitForPage(third_);
}

// "Save Reading As..." sits in the File menu after Open Page and does nothing until the program
// says what it does; then each window made hands itself to it.
TEST_F(PageWindows, FileMenuSavesTheReadingOfItsOwnPage) {
  auto fileMenuTexts = [](PageWindow& window) {
    std::vector<std::string> texts;
    for (QAction* menu : window.menuBar()->actions())
      if (menu->text() == "&File")
        for (QAction* item : menu->menu()->actions()) texts.push_back(item->text().toStdString());
    return texts;
  };
  OpenWindow(first_);
  EXPECT_EQ((std::vector<std::string>{"&Open Page...", "Save Reading As...", "", "&Close"}),
            fileMenuTexts(*window_));
  EXPECT_FALSE(window_->SaveReadingAction()->isEnabled());

  std::vector<PageWindow*> asked;
  objects_.SetOnSaveReading([&](PageWindow& window) { asked.push_back(&window); });
  std::shared_ptr<PageWindow> before = std::move(window_);
  OpenWindow(second_);
  ASSERT_TRUE(window_->SaveReadingAction()->isEnabled());
  window_->SaveReadingAction()->trigger();
  EXPECT_EQ((std::vector<PageWindow*>{window_.get()}), asked);
}

TEST_F(PageWindows, BarsFollowTheProgramAndUserClosingEndsTheWindow) {
  OpenWindow(first_);
  window_->put_MenuBar(false);
  window_->put_ToolBar(0);
  window_->put_Visible(true);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->menuBar()->isHidden());
  EXPECT_TRUE(window_->NavigationBar()->isHidden());
  EXPECT_TRUE(window_->View()->isVisible());
  window_->put_ToolBar(1);
  EXPECT_TRUE(window_->NavigationBar()->isVisible());

  std::shared_ptr<engine::Document> shown = Shown(window_->View());
  EXPECT_TRUE(window_->close());  // as the user does
  EXPECT_TRUE(window_->isHidden());
  EXPECT_TRUE(window_->Closed());
  EXPECT_THROW(window_->navigate(FileAddress(second_)), platform::Failure);
  EXPECT_THROW(window_->put_Visible(true), platform::Failure);
  EXPECT_THROW(window_->readyState(), platform::Failure);
  EXPECT_TRUE(window_->isHidden());
  EXPECT_TRUE(shown->Discarded());
  EXPECT_EQ(nullptr, RegisteredDocument(window_->View()));
  EXPECT_EQ((std::vector<std::pair<std::string, bool>>{{"page", true}, {"page", false}}), shownTrace_);

  // The widget goes with the program's last reference, and so do its handles.
  platform::HWND frame = registry_.HandleOf(window_.get());
  platform::HWND view = registry_.HandleOf(window_->View());
  window_.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(nullptr, registry_.Find(frame));
  EXPECT_EQ(nullptr, registry_.Find(view));
  EXPECT_TRUE(objects_.PageWindows().empty());
}

TEST_F(PageWindows, FailedLoadShowsAnErrorPageNotADialog) {
  std::string missing = folder_.Path("missing.htm");
  OpenWindow(missing);
  EXPECT_FALSE(window_->LastError().empty());
  std::u16string text = TextOf(Shown(window_->View()));
  EXPECT_NE(std::u16string::npos, text.find(u"missing.htm")) << QString::fromStdU16String(text).toStdString();
  EXPECT_EQ(nullptr, QApplication::activeModalWidget());
  EXPECT_EQ(FileAddress(missing), window_->AddressBar()->text().toStdU16String());
}

TEST_F(PageWindows, OpenPageWindowShowsTheWindowLoadingTheAddress) {
  window_ = objects_.OpenPageWindow(FileAddress(third_));
  EXPECT_TRUE(window_->isVisible());
  WaitForPage(third_);
  EXPECT_EQ((std::vector<std::pair<std::string, bool>>{{"page", true}}), shownTrace_);
}

TEST_F(PageWindows, EmbeddedControlShowsItsPageAndFollowsLinks) {
  std::shared_ptr<platform::WebBrowser> control = objects_.CreateControl();
  auto* embedded = dynamic_cast<EmbeddedView*>(control.get());
  ASSERT_NE(nullptr, embedded);
  auto* view = dynamic_cast<PageView*>(embedded->View());
  ASSERT_NE(nullptr, view);
  EXPECT_EQ(nullptr, view->parentWidget());
  EXPECT_EQ(nullptr, Shown(view));

  QWidget form;  // a form's window takes the view in
  view->setParent(&form);
  view->setGeometry(0, 0, 400, 300);
  form.resize(400, 300);
  form.show();
  control->Navigate(FileAddress(first_));
  ASSERT_TRUE(WaitFor([&] { return control->ReadyState() == 4; }));
  EXPECT_EQ(control->Document(), Shown(view));
  EXPECT_EQ(kPageViewClass, registry_.Find(registry_.HandleOf(view))->className);
  EXPECT_EQ(control->Document(), RegisteredDocument(view));

  Click(*view, u"next");
  ASSERT_TRUE(
      WaitFor([&] { return control->ReadyState() == 4 && Shown(view)->URL() == FileAddress(second_); }));
  EXPECT_EQ(FileAddress(second_), control->LocationURL());

  // The view goes with the control, not before.
  QPointer<QWidget> guard(view);
  control.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
}

// A link and a frame with the same address reach the same page: a relative path with "..", a query
// and a fragment, and the white space that pages put inside addresses.
TEST_F(PageWindows, LinksResolveAsFramesDo) {
  const char kAddress[] = " ../pages/./framed.htm\n?part=1&amp;x=%20#end ";
  folder_.Write("pages/framed.htm", Page("", "<p>Framed</p>"));
  std::string top =
      folder_.Write("top/index.htm",
                    Page("Top", std::string("<iframe id=frame src=\"") + kAddress +
                                    "\"></iframe><p><a id=link href=\"" + kAddress + "\">the link</a></p>"));
  OpenWindow(top);
  window_->put_Visible(true);
  platform::ElementPtr frame = window_->document()->getElementById(u"frame");
  ASSERT_NE(nullptr, frame);
  ASSERT_NE(nullptr, frame->contentWindow()) << "the frame was not loaded";
  std::u16string framed = frame->contentWindow()->document()->URL();
  EXPECT_EQ(FileAddress(folder_.Path("pages/framed.htm")), framed);

  std::vector<std::u16string> followed;
  window_->View()->SetLinkHandler(
      [&](const QString& address) { followed.push_back(address.toStdU16String()); });
  Click(*window_->View(), u"link");
  // A file's address names the file without its query and fragment.
  EXPECT_EQ(std::vector<std::u16string>{framed + u"?part=1&x=%20#end"}, followed);
}

}  // namespace
}  // namespace lectryn::desktop
