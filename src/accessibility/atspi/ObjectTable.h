#pragma once
// The AxRefs handed out for bus objects: one per distinct object (bus name + path), so the tree
// read and the live calls name the same object alike. Worker thread only.
#include <map>
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
  void AddDocument(AxRef document) { documents_.insert(document); }
  std::vector<AxRef> DocumentsOf(const std::string& busName) const;

 private:
  std::map<BusObject, AxRef> refs_;
  std::vector<BusObject> objects_;  // objects_[ref - 1]
  std::set<AxRef> documents_;
};

}  // namespace lectryn::accessibility::atspi
