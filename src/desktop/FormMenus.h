#pragma once
// A form's menus on a QMenuBar: captions with their access keys, shortcut texts, check marks,
// separators, enabled and visible states following the items. Shortcut keys are not bound to the
// actions: the form's window hands key presses to Form::PressKey, so each fires its item once.
#include <QMenuBar>
#include <memory>
#include <vector>

#include "desktop/ModelSubscription.h"
#include "forms/Form.h"

namespace lectryn::desktop {

class FormMenus {
 public:
  FormMenus(forms::Form& form, QMenuBar& bar);
  FormMenus(const FormMenus&) = delete;
  FormMenus& operator=(const FormMenus&) = delete;

  // Builds the bar again when the form gained or lost menus since the last build. A menu whose
  // items changed refills itself when it opens.
  void Sync();
  void Abandon();

 private:
  struct TopMenu {
    forms::MenuItem* item = nullptr;
    QMenu* menu = nullptr;
    std::vector<const forms::MenuItem*> shape;  // every item below, in order, when last filled
    std::vector<std::unique_ptr<ModelSubscription>> subscriptions;
  };

  void Build();
  void Refill(TopMenu& top);
  void Fill(TopMenu& top, QMenu& menu, forms::MenuItem& parent);
  void Follow(QAction& action, const forms::MenuItem& item);
  static std::vector<const forms::MenuItem*> ShapeOf(const forms::MenuItem& menu);

  forms::Form& form_;
  QMenuBar& bar_;
  std::vector<std::unique_ptr<TopMenu>> tops_;
  bool abandoned_ = false;
};

}  // namespace lectryn::desktop
