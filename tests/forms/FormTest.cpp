#include "forms/Form.h"

#include <gtest/gtest.h>

#include "forms/ComboBox.h"
#include "forms/SpinBox.h"

#include <string>
#include <vector>

#include "sim/SimUiLoop.h"

namespace lectryn::forms {
namespace {

// Collects "Name.Property" for every change a front end would be told about.
struct ChangeLog {
  std::vector<std::string> entries;
  void Follow(Control& control) {
    control.Subscribe([this](Control& c, Property p) { entries.push_back(c.Name() + "." + Name(p)); });
  }
  static std::string Name(Property p) {
    switch (p) {
      case Property::Caption:
        return "Caption";
      case Property::Text:
        return "Text";
      case Property::Value:
        return "Value";
      case Property::Enabled:
        return "Enabled";
      case Property::Visible:
        return "Visible";
      case Property::Selection:
        return "Selection";
      case Property::Checked:
        return "Checked";
      case Property::Interval:
        return "Interval";
      case Property::Loaded:
        return "Loaded";
      case Property::Position:
        return "Position";
      default:
        return "Other";
    }
  }
};

using Entries = std::vector<std::string>;

TEST(FormNotifications, EveryRealChangeIsToldOnceAndNoOpsAreSilent) {
  ChangeLog log;
  CommandButton button("cbSayIt", u"To Speech");
  CheckBox check("cbContinue", u"Coninue After Selection");
  TextBox box("tbSpeach", u"abc", true);
  log.Follow(button);
  log.Follow(check);
  log.Follow(box);
  button.SetCaption(u"Stop");
  button.SetCaption(u"Stop");
  check.SetValue(vbChecked);
  check.SetValue(vbChecked);
  box.SetSelStart(1);
  box.SetText(u"abc");
  box.SetText(u"new");
  button.SetEnabled(false);
  EXPECT_EQ((Entries{"cbSayIt.Caption", "cbContinue.Value", "tbSpeach.Selection", "tbSpeach.Text",
                     "cbSayIt.Enabled"}),
            log.entries);
}

TEST(FormNotifications, ListenerMayUnsubscribeWhileBeingTold) {
  Label label("lbResult", u"");
  int calls = 0;
  int token = 0;
  token = label.Subscribe([&](Control& c, Property) {
    ++calls;
    c.Unsubscribe(token);
  });
  label.SetCaption(u"Checking.");
  label.SetCaption(u"done");
  EXPECT_EQ(1, calls);
}

TEST(TextBoxSelection, IsClampedIntoTheTextAndResetByNewText) {
  TextBox box("tbTextToSpeech", u"Hello", true, ScrollBars::Vertical);
  box.SetSelStart(2);
  box.SetSelLength(99);
  EXPECT_EQ(u"llo", box.SelText());
  box.SetSelStart(-4);
  EXPECT_EQ(0, box.SelStart());
  box.SetText(u"Hi");
  EXPECT_EQ(0, box.SelStart());
  EXPECT_EQ(0, box.SelLength());
}

TEST(CheckBoxAndButtons, ClicksToggleAndDisabledButtonsIgnoreThem) {
  CheckBox check("cbContinue", u"x");
  int checkClicks = 0;
  check.OnClick = [&] { ++checkClicks; };
  check.Click();
  EXPECT_EQ(vbChecked, check.Value());
  check.Click();
  EXPECT_EQ(vbUnchecked, check.Value());
  EXPECT_EQ(2, checkClicks);

  CommandButton download("cbDownload", u"Download Latest");
  int presses = 0;
  download.OnClick = [&] { ++presses; };
  download.SetEnabled(false);
  download.Click();
  download.SetEnabled(true);
  download.Click();
  EXPECT_EQ(1, presses);
}

// Only the user's picks and entries fire, and only when they change something; every value stays
// one the control can show.
TEST(ComboAndSpinBoxes, ChoicesStayInRangeAndOnlyTheUsersChangesFire) {
  ComboBox combo("cboVoice");
  int clicks = 0;
  combo.OnClick = [&] { ++clicks; };
  combo.SetList({u"one", u"two"});
  combo.SetListIndex(1);
  combo.SetList({u"one", u"two", u"three"});  // a new list leaves nothing chosen
  EXPECT_EQ(combo.Text(), u"");
  combo.Choose(2);
  combo.Choose(2);
  combo.Choose(7);
  EXPECT_EQ(combo.ListIndex(), -1);
  EXPECT_EQ(clicks, 2);

  SpinBox spin("spnSpeed", 80, 450, 5);
  int changes = 0;
  spin.OnChange = [&] { ++changes; };
  spin.SetValue(500);
  spin.Enter(600);  // still 450: nothing changed
  spin.Enter(0);
  EXPECT_EQ(spin.Value(), 80);
  EXPECT_EQ(changes, 1);
}

TEST(Menus, AccessKeysShortcutsAndSeparators) {
  MenuItem narration("mnuNarration", u"&Narration");
  MenuItem& stop = narration.Add("mnuNarrationStop", u"S&top");
  MenuItem& sep = narration.Add("mnuSep1", u"-");
  MenuItem& both = narration.Add("x", u"Fish && &Chips");
  EXPECT_EQ(u'N', narration.AccessKey());
  EXPECT_EQ(u't', stop.AccessKey());
  EXPECT_EQ(u"Stop", stop.DisplayCaption());
  EXPECT_EQ(u'C', both.AccessKey());
  EXPECT_EQ(u"Fish & Chips", both.DisplayCaption());
  EXPECT_TRUE(sep.IsSeparator());
  EXPECT_FALSE(stop.AccessKey() == std::nullopt);
  EXPECT_EQ(u"Ctrl+N", CtrlKey('N').ToString());
  EXPECT_EQ(u"F1", (Shortcut{vbKeyF1, false}).ToString());
  EXPECT_EQ(u"F12", (Shortcut{vbKeyF1 + 11, false}).ToString());
  EXPECT_EQ(u"", Shortcut{}.ToString());
}

TEST(FormInput, ShortcutsReachNestedMenuItemsThenDefaultAndCancelButtons) {
  Form form("frmAbout", u"About Lectryn");
  std::string log;
  auto& help = form.AddMenu("mnuAbout", u"&Help");
  help.Add("mnuHelpAbout", u"About...", CtrlKey('B')).OnClick = [&] { log += "about "; };
  help.Add("mnuHelpGetgoing", u"Getting Going", {vbKeyF1, false}).OnClick = [&] { log += "help "; };
  CommandButton ok("cmdOK", u"OK");
  ok.SetDefault(true);
  ok.SetCancel(true);
  ok.OnClick = [&] { log += "ok "; };
  form.Register(ok);
  EXPECT_TRUE(form.PressKey(CtrlKey('B')));
  EXPECT_TRUE(form.PressKey({vbKeyF1, false}));
  EXPECT_TRUE(form.PressKey({vbKeyReturn, false}));
  EXPECT_TRUE(form.PressKey({vbKeyEscape, false}));
  EXPECT_FALSE(form.PressKey(CtrlKey('Q')));
  EXPECT_EQ("about help ok ok ", log);
}

TEST(FormInput, KeyUpReachesTheFormOnlyWithKeyPreview) {
  Form form("frmMain", u"Lectryn");
  std::vector<int> keys;
  form.Form_KeyUp = [&](int16_t code, int16_t) { keys.push_back(code); };
  form.KeyUp(vbKeyEscape, 0);
  form.SetKeyPreview(true);
  form.KeyUp(vbKeyEscape, 0);
  EXPECT_EQ((std::vector<int>{vbKeyEscape}), keys);
}

class UnloadingHost : public FormHost {
 public:
  void RunModal(Form& form) override {
    ran = true;
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(form.IsModal());
    form.Unload();
  }
  bool ran = false;
};

TEST(FormLifecycle, LoadOnceShowUnloadCancelAndModalShow) {
  Form form("frmUpdates", u"Check for Updates");
  ChangeLog log;
  log.Follow(form);
  int loads = 0;
  int16_t refuse = 1;
  form.Form_Load = [&] { ++loads; };
  form.Form_Unload = [&](int16_t& cancel) { cancel = refuse; };
  form.Load();
  form.Show();
  EXPECT_EQ(1, loads);
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(form.Unload());
  EXPECT_TRUE(form.Loaded());
  refuse = 0;
  EXPECT_TRUE(form.Unload());
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ((Entries{"frmUpdates.Loaded", "frmUpdates.Visible", "frmUpdates.Visible", "frmUpdates.Loaded"}),
            log.entries);

  UnloadingHost host;
  Form owner("frmMain", u"Lectryn");
  form.SetHost(&host);
  form.Show(Modality::Modal, &owner);
  EXPECT_TRUE(host.ran);
  EXPECT_EQ(2, loads);
  EXPECT_EQ(&owner, form.Owner());
  EXPECT_FALSE(form.Loaded());
}

// A front end makes a window as a form loads and drops it as the form goes; a host that goes first
// is not told.
TEST(FormLifecycle, HostsHearOfLoadingAndOfFormsThatGoButFormsMayOutliveThem) {
  struct WatchingHost : FormHost {
    void RunModal(Form&) override {}
    void Loading(Form& form) override { events.push_back("load " + form.Name()); }
    void Forget(Form& form) override { events.push_back("forget " + form.Name()); }
    std::vector<std::string> events;
  };
  WatchingHost host;
  {
    Form first("frmFirst", u"First");
    first.SetHost(&host);
    first.Load();
    first.Load();
  }
  EXPECT_EQ((std::vector<std::string>{"load frmFirst", "forget frmFirst"}), host.events);

  Form moved("frmMoved", u"Moved");
  moved.SetHost(&host);
  {
    WatchingHost other;
    moved.SetHost(&other);
    moved.Load();
    EXPECT_EQ(1u, other.events.size());
  }
  EXPECT_EQ(nullptr, moved.Host());  // its host has gone; destroying the form later tells nobody
  EXPECT_EQ(2u, host.events.size());
}

TEST(FormLifecycle, FormThatClosesItselfWhileLoadingIsNotShown) {
  Form form("frmMain", u"Lectryn");
  form.Form_Load = [&] { form.Unload(); };
  form.Show();
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(form.Loaded());
}

TEST(TimerControl, TicksOnlyWhileEnabledWithAPositiveInterval) {
  sim::SimUiLoop loop;
  int ticks = 0;
  {
    Timer timer("Timer1", loop);
    timer.OnTimer = [&] { ++ticks; };
    loop.AdvanceBy(1000);  // interval 0 as designed: not running
    EXPECT_EQ(0, ticks);
    timer.SetInterval(400);
    loop.AdvanceBy(1000);
    EXPECT_EQ(2, ticks);
    timer.SetEnabled(false);
    loop.AdvanceBy(1000);
    EXPECT_EQ(2, ticks);
    timer.SetEnabled(true);
    timer.SetInterval(100);
    loop.AdvanceBy(250);
    EXPECT_EQ(4, ticks);
  }
  EXPECT_EQ(0u, loop.ActiveTimers());  // a destroyed timer stops ticking
}

}  // namespace
}  // namespace lectryn::forms
