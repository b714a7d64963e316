#pragma once
// How failures of outside components reach the program.
#include <memory>
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

// A page object that should be there and is not counts as a failing outside call.
template <class T>
std::shared_ptr<T> Present(std::shared_ptr<T> object, const char* what) {
  if (!object) throw Failure(std::string("the page has no ") + what);
  return object;
}

}  // namespace lectryn::platform
