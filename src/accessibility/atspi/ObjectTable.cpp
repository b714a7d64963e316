#include "accessibility/atspi/ObjectTable.h"

#include "platform/Failure.h"

namespace lectryn::accessibility::atspi {

AxRef ObjectTable::Intern(const BusObject& object) {
  std::lock_guard lock(mutex_);
  auto [it, added] = refs_.emplace(object, static_cast<AxRef>(objects_.size() + 1));
  if (added) objects_.push_back(object);
  return it->second;
}

const BusObject& ObjectTable::Find(AxRef ref) const {
  std::lock_guard lock(mutex_);
  if (ref < 1 || ref > static_cast<AxRef>(objects_.size())) {
    throw platform::Failure("no accessible object " + std::to_string(ref));
  }
  return objects_[static_cast<size_t>(ref - 1)];
}

std::vector<AxRef> ObjectTable::DocumentsOf(const std::string& busName) const {
  std::vector<AxRef> documents;
  std::set<AxRef> all;
  {
    std::lock_guard lock(mutex_);
    all = documents_;
  }
  for (AxRef document : all) {
    if (Find(document).name == busName) documents.push_back(document);
  }
  return documents;
}

}  // namespace lectryn::accessibility::atspi
