#pragma once
// Runs modal forms on the virtual clock. When a form goes modal, the script a test queued for it
// runs (it clicks buttons, types, lets time pass); then the loop runs until the form is unloaded,
// or, when it stays open past the limit, the user closes it by its frame.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "forms/Form.h"
#include "sim/SimUiLoop.h"

namespace lectryn::sim {

class SimFormHost : public forms::FormHost {
 public:
  using Script = std::function<void(forms::Form&)>;

  explicit SimFormHost(SimUiLoop& loop, int64_t limitMs = 120'000) : loop_(loop), limitMs_(limitMs) {}

  void RunModal(forms::Form& form) override;

  // The next modal showing of the form named formName runs script; scripts run in the order queued.
  void WhenModal(const std::string& formName, Script script) {
    scripts_[formName].push_back(std::move(script));
  }
  // Names of the forms run modally, in order.
  const std::vector<std::string>& Shown() const { return shown_; }
  // How many modal forms had to be closed by the host because they stayed open past the limit.
  int32_t ClosedByHost() const { return closedByHost_; }

 private:
  SimUiLoop& loop_;
  int64_t limitMs_;
  std::map<std::string, std::deque<Script>> scripts_;
  std::vector<std::string> shown_;
  int32_t closedByHost_ = 0;
};

}  // namespace lectryn::sim
