#include "desktop/FormMenus.h"

#include <QMenu>

namespace lectryn::desktop {
namespace {

QString ToQ(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

void AddShape(const forms::MenuItem& menu, std::vector<const forms::MenuItem*>& shape) {
  for (const auto& item : menu.Items()) {
    shape.push_back(item.get());
    AddShape(*item, shape);
  }
}

}  // namespace

FormMenus::FormMenus(forms::Form& form, QMenuBar& bar) : form_(form), bar_(bar) {
  Build();
}

std::vector<const forms::MenuItem*> FormMenus::ShapeOf(const forms::MenuItem& menu) {
  std::vector<const forms::MenuItem*> shape;
  AddShape(menu, shape);
  return shape;
}

void FormMenus::Sync() {
  if (abandoned_) return;
  bool same = tops_.size() == form_.Menus().size();
  for (size_t at = 0; same && at < tops_.size(); ++at) same = tops_[at]->item == form_.Menus()[at];
  if (!same) {
    Build();
    return;
  }
  for (auto& top : tops_) Refill(*top);
}

void FormMenus::Abandon() {
  abandoned_ = true;
  for (auto& top : tops_)
    for (auto& subscription : top->subscriptions) subscription->Abandon();
}

void FormMenus::Build() {
  for (auto& top : tops_) {
    top->subscriptions.clear();
    delete top->menu;  // also takes it off the bar
  }
  tops_.clear();
  bar_.clear();
  for (forms::MenuItem* item : form_.Menus()) {
    auto top = std::make_unique<TopMenu>();
    top->item = item;
    top->menu = bar_.addMenu(ToQ(item->Caption()));
    TopMenu* raw = top.get();
    QObject::connect(top->menu, &QMenu::aboutToShow, &bar_, [this, raw] {
      if (!abandoned_) Refill(*raw);
    });
    tops_.push_back(std::move(top));
    Fill(*raw, *raw->menu, *item);
  }
  bar_.setVisible(!tops_.empty());
}

void FormMenus::Refill(TopMenu& top) {
  if (ShapeOf(*top.item) == top.shape) return;
  top.subscriptions.clear();
  top.menu->clear();
  Fill(top, *top.menu, *top.item);
}

void FormMenus::Fill(TopMenu& top, QMenu& menu, forms::MenuItem& parent) {
  if (&parent == top.item) {
    top.shape = ShapeOf(parent);
    QAction* title = menu.menuAction();
    Follow(*title, parent);
    top.subscriptions.push_back(std::make_unique<ModelSubscription>(
        parent, [this, title, &parent](forms::Property) { Follow(*title, parent); }));
  }
  for (const auto& owned : parent.Items()) {
    forms::MenuItem& item = *owned;
    QAction* action = nullptr;
    if (!item.Items().empty()) {
      QMenu* sub = menu.addMenu(QString());
      Fill(top, *sub, item);
      action = sub->menuAction();
    } else {
      action = menu.addAction(QString());
      QObject::connect(action, &QAction::triggered, &bar_, [this, action, &item] {
        if (abandoned_) return;
        item.Click();
        if (!abandoned_) Follow(*action, item);  // Qt toggled the mark; the model decides it
      });
    }
    Follow(*action, item);
    top.subscriptions.push_back(std::make_unique<ModelSubscription>(
        item, [this, action, &item](forms::Property) { Follow(*action, item); }));
  }
}

void FormMenus::Follow(QAction& action, const forms::MenuItem& item) {
  if (item.IsSeparator()) {
    action.setSeparator(true);
  } else {
    QString text = ToQ(item.Caption());
    // The text after a tab is shown as the shortcut without binding it.
    if (!item.GetShortcut().None()) text += u'\t' + ToQ(item.GetShortcut().ToString());
    action.setText(text);
  }
  action.setCheckable(item.Checked());
  action.setChecked(item.Checked());
  action.setEnabled(item.Enabled());
  action.setVisible(item.Visible());
}

}  // namespace lectryn::desktop
