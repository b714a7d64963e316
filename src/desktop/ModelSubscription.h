#pragma once
// A listener on a control model that ends with its owner. A window that outlives its form's
// controls (the form tells its host only once its own members are gone) abandons the subscription
// instead: it never touches the control again and the listener it left behind does nothing.
#include <functional>
#include <memory>

#include "forms/Control.h"

namespace lectryn::desktop {

class ModelSubscription {
 public:
  ModelSubscription(forms::Control& control, std::function<void(forms::Property)> onChange)
      : control_(&control), live_(std::make_shared<bool>(true)) {
    token_ = control.Subscribe(
        [live = live_, onChange = std::move(onChange)](forms::Control&, forms::Property property) {
          if (*live) onChange(property);
        });
  }
  ModelSubscription(const ModelSubscription&) = delete;
  ModelSubscription& operator=(const ModelSubscription&) = delete;
  ~ModelSubscription() {
    if (*live_) control_->Unsubscribe(token_);
    *live_ = false;
  }
  void Abandon() { *live_ = false; }

 private:
  forms::Control* control_;
  std::shared_ptr<bool> live_;
  int token_ = 0;
};

}  // namespace lectryn::desktop
