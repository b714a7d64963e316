#pragma once
// How failures of outside components reach the program.
#include <stdexcept>
#include <string>
#include <utility>

namespace lectryn::platform {

// A failing outside call: a range of a page that is gone, a document that cannot be read, a voice
// that cannot be created. Application code never catches it except through Tolerate.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& what) : std::runtime_error(what) {}
};

// Runs one step whose outside failure is skipped: returns false when the step failed.
template <class Step>
bool Tolerate(Step&& step) {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (const Failure&) {
    return false;
  }
}

}  // namespace lectryn::platform
