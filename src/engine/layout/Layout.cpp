#include "engine/layout/Layout.h"

#include "engine/layout/Layouter.h"

namespace lectryn::engine::layout {

std::shared_ptr<const LayoutTree> LayOut(const LayoutInput& input) {
  return Layouter(input).Run();
}

}  // namespace lectryn::engine::layout
