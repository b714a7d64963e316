#pragma once
// The AxRefs handed out for bus objects: one per distinct object (bus name + path), so the tree
// read and the live calls name the same object alike. Used by the worker and by the background
// reader's thread.
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/BusClient.h"

namespace lectryn::accessibility::atspi {

class ObjectTable {
 public:
  AxRef Intern(const BusObject& object);
  // Throws platform::Failure for a key this table never gave.
  const BusObject& Find(AxRef ref) const;

  // Documents whose page changes are reported, by owning program.
  void AddDocument(AxRef document) {
    std::lock_guard lock(mutex_);
    documents_.insert(document);
  }
  std::vector<AxRef> DocumentsOf(const std::string& busName) const;

 private:
  mutable std::mutex mutex_;
  std::map<BusObject, AxRef> refs_;
  std::deque<BusObject> objects_;  // objects_[ref - 1]; a deque keeps what Find gave in place
  std::set<AxRef> documents_;
};

}  // namespace lectryn::accessibility::atspi
